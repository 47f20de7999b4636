// A writer that is stopped between writing its temporary file and renaming it over the file, so that
// a test can look at it while it is alive and then kill it at exactly that moment.
//
//     stopped-writer <file> <content> [<step>...]
//
// It writes <content> through Platform::AtomicFile, stops itself (SIGSTOP) before the commit, and
// commits when it is continued. Exit code 0 when the file was replaced.
//
// With steps ("renaming", "exchanging", "exchanged", "putback"), it edits the file instead, replacing
// what it holds with <content> only while it is still the version read, and stops itself the first
// time each of those steps of the commit comes, so that a test can save the file as another program
// would there, or kill it there.

#include "platform/AtomicFile.h"

#include <QByteArray>
#include <QFile>
#include <QSet>

#include <csignal>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    using Step = Platform::AtomicFile::EditStep;
    const QString path = QFile::decodeName(argv[1]);
    const QByteArray content(argv[2]);
    if (argc == 3) {
        Platform::AtomicFile file(path);
        if (!file.open() || !file.write(content))
            return 1;
        std::raise(SIGSTOP);
        return file.commit() ? 0 : 1;
    }
    QSet<Step> stops;
    for (int i = 3; i < argc; ++i) {
        const QByteArray name(argv[i]);
        stops.insert(name == "renaming"         ? Step::Renaming
                         : name == "exchanging" ? Step::Exchanging
                         : name == "exchanged"  ? Step::Exchanged
                                                : Step::PutBack);
    }
    Platform::AtomicFile::setEditObserver([&stops](Step step, const QString &) {
        if (stops.remove(step))
            std::raise(SIGSTOP);
    });
    const auto failure = Platform::AtomicFile::edit(
        path, 1 << 20, [&content](const Platform::AtomicFile::Content &) { return std::optional(content); });
    return failure ? 1 : 0;
}
