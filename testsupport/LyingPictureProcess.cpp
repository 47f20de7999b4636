// A stand-in for the picture decoding process that answers at once with an 8 × 8 picture on a canvas
// that lies, as told, and then waits to be ended:
//
//     lying-picture-process unsealed|small
//
// "unsealed": a canvas that could shrink under the program's mapping; "small": one of fewer bytes than
// the picture's.

#include "KivDesktopBackground/PictureProtocol.h"

#include <QImage>

#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace Protocol = KivDesktopBackground::PictureProtocol;

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const bool small = std::strcmp(argv[1], "small") == 0;
    const int canvas = ::memfd_create("picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (canvas < 0 || ::ftruncate(canvas, small ? 16 : 8 * 8 * 4) != 0)
        return 1;
    if (std::strcmp(argv[1], "unsealed") != 0)
        ::fcntl(canvas, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW);
    Protocol::Answer answer;
    answer.outcome = Protocol::Outcome::picture;
    answer.width = 8;
    answer.height = 8;
    answer.bytesPerLine = 8 * 4;
    answer.format = QImage::Format_RGB32;
    Protocol::send(STDIN_FILENO, &answer, sizeof answer, {canvas});
    ::pause();
    return 0;
}
