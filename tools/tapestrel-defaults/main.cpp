#include "DefaultsCommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const DefaultsCommandResult result = runDefaultsCommand(QCoreApplication::arguments().mid(1));
    const QByteArray output = result.output.toUtf8();
    const QByteArray error = result.error.toUtf8();
    std::fwrite(output.constData(), 1, size_t(output.size()), stdout);
    std::fwrite(error.constData(), 1, size_t(error.size()), stderr);
    return result.exitCode;
}
