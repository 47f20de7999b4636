#include "DefaultsCommand.h"

#include <QCoreApplication>
#include <QStringDecoder>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Decoded here rather than taken from QCoreApplication::arguments(), which drops a U+FEFF that
    // begins an argument: a key may begin with one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QStringDecoder(QStringDecoder::System, QStringDecoder::Flag::ConvertInitialBom)
                             .decode(QByteArrayView(argv[i])));
    const DefaultsCommandResult result = runDefaultsCommand(arguments);
    const QByteArray output = result.output.toUtf8();
    const QByteArray error = result.error.toUtf8();
    std::fwrite(output.constData(), 1, size_t(output.size()), stdout);
    std::fwrite(error.constData(), 1, size_t(error.size()), stderr);
    return result.exitCode;
}
