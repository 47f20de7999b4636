// A program that decodes a picture in the program's decoding process and then ends as told, so that
// the tests see what becomes of the process when the program ends, and what the program says:
//
//     decoding-program <picture> quit|wait|twice|lines
//
// "quit" and "wait" ask for the picture on the decoder's own threads and, at the same time, on the
// toolkit's shared ones, as another part of the program might. Once the decoding process runs, it
// writes the process's id and a line end to standard output; then it quits its event loop ("quit",
// writing "quit" and a line end as it does) or waits to be killed ("wait"). "twice" decodes the picture
// twice, one after the other, and ends. "lines" decodes it in a new process for each line it reads on
// standard input, and writes "drawn" (or why not) and a line end on standard output, after a message of
// its own on standard error where the line is "say"; it ends with its input.

#include "KivDesktopBackground/PictureDecoder.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>

#include <unistd.h>

using KivDesktopBackground::PictureDecoder;

namespace {

// A child of this process, 0 while there is none.
pid_t child()
{
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status("/proc/" + entry + "/stat");
        if (!status.open(QIODevice::ReadOnly))
            continue;
        // "<pid> (<name>) <state> <parent> …": the name may hold spaces, never a ") ".
        const QByteArray line = status.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(") ") + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self)
            return pid_t(entry.toInt());
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString picture = QFile::decodeName(argv[1]);
    const bool quit = QByteArray(argv[2]) == "quit";
    PictureDecoder &decoder = PictureDecoder::shared();
    if (QByteArray(argv[2]) == "twice") {
        for (int i = 0; i < 2; ++i)
            decoder.covering(QUrl::fromLocalFile(picture), {QSize(1920, 1080)});
        return 0;
    }
    if (QByteArray(argv[2]) == "lines") {
        char line[64];
        while (std::fgets(line, sizeof line, stdin)) {
            decoder.endIdleProcesses();
            const PictureDecoder::Decoded decoded =
                decoder.covering(QUrl::fromLocalFile(picture), {QSize(1920, 1080)});
            const QByteArray outcome = decoded.failure ? decoded.failure->toUtf8() : "drawn";
            if (QByteArray(line) == "say\n")
                std::fprintf(stderr, "decoding-program: %s\n", outcome.constData());
            std::printf("%s\n", outcome.constData());
            std::fflush(stdout);
        }
        return 0;
    }
    for (QThreadPool *pool : {&decoder.pool(), QThreadPool::globalInstance()}) {
        const auto decoding =
            QtConcurrent::run(pool, &PictureDecoder::covering, &decoder, QUrl::fromLocalFile(picture),
                              QList<QSize> {QSize(1920, 1080)}, PictureDecoder::Ending());
        Q_UNUSED(decoding);
    }
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&look, quit] {
        const pid_t decoding = child();
        if (decoding == 0)
            return;
        look.stop();
        std::printf("%d\n", int(decoding));
        std::fflush(stdout);
        if (quit)
            QTimer::singleShot(300, qApp, [] {
                std::printf("quit\n");
                std::fflush(stdout);
                QCoreApplication::quit();
            });
    });
    look.start(10);
    return QGuiApplication::exec();
}
