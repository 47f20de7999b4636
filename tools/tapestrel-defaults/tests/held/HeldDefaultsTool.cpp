// The defaults tool, held at one moment of its run so that a test can see what ending it there does.
//
//     HELD_AT=<step> held-defaults-tool <the tool's arguments>
//
// It stops itself (SIGSTOP) the first time the step comes: "exchanged" right after the exchange of the
// domain's file, "end" once the command is done, before anything is printed.

#include "../../DefaultsCommand.h"

#include "platform/AtomicFile.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray step = qgetenv("HELD_AT");
    Platform::AtomicFile::setEditObserver([&step](Platform::AtomicFile::EditStep at, const QString &) {
        if (step == "exchanged" && at == Platform::AtomicFile::EditStep::Exchanged)
            std::raise(SIGSTOP);
    });
    const DefaultsCommandResult result = runDefaultsCommand(app.arguments().mid(1));
    if (step == "end")
        std::raise(SIGSTOP);
    std::fputs(result.output.toUtf8().constData(), stdout);
    std::fputs(result.error.toUtf8().constData(), stderr);
    return result.exitCode;
}
