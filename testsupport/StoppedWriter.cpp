// A writer that is stopped between writing its temporary file and renaming it over the file, so that
// a test can look at it while it is alive and then kill it at exactly that moment.
//
//     stopped-writer <file> <content>
//
// It writes <content> through Platform::AtomicFile, stops itself (SIGSTOP) before the commit, and
// commits when it is continued. Exit code 0 when the file was replaced.

#include "platform/AtomicFile.h"

#include <QByteArray>
#include <QFile>

#include <csignal>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    Platform::AtomicFile file(QFile::decodeName(argv[1]));
    if (!file.open() || !file.write(QByteArray(argv[2])))
        return 1;
    std::raise(SIGSTOP);
    return file.commit() ? 0 : 1;
}
