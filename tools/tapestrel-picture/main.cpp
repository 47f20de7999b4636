#include "DecodingProcess.h"

int main(int argc, char **argv)
{
    return DecodingProcess::run(argc, argv);
}
