#pragma once

#include "KivDesktopBackground/PictureProtocol.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

namespace KivDesktopBackground {

// Decodes the pictures that a user or an archive names, each in a short-lived process of the
// program's own ("tapestrel-picture", installed beside the program; $TAPESTREL_PICTURE_TOOL names
// another) that holds none of the program's state: whatever a format's decoder does with a hostile
// picture, it can neither crash, hold nor swell the program. The program hands the process the opened
// file (a regular file within PictureProtocol::maxBytes, so nothing waits on a pipe put in its place)
// and the size it will draw at, and takes back only the decoded pixels. A decode that passes the memory
// or the time limit is ended and fails naming the limit; so does one whose process dies or answers
// nonsense, and what a decoder merely warns about (cut or corrupt data) fails too.
//
// A process decodes one picture at a time, several in turn; one left idle for a few seconds is ended.
// Every member may be called from any thread. A decode blocks its caller: never on the GUI thread.
class PictureDecoder
{
public:
    struct Limits
    {
        qint64 memoryBytes = qint64(1) << 30;
        std::chrono::milliseconds time {20000};
    };
    // Set (to true) to end a decode that still runs: a later background took its place.
    using Ending = std::shared_ptr<std::atomic<bool>>;

    struct Decoded
    {
        QImage image;
        std::optional<QString> failure; // a sentence naming the picture; set when `image` is null
    };

    PictureDecoder();
    explicit PictureDecoder(Limits limits);
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder &) = delete;
    PictureDecoder &operator=(const PictureDecoder &) = delete;

    // The one the program uses. Quitting ends the decodes that still run and the idle processes.
    static PictureDecoder &shared();
    // Ends the processes that wait for a picture to decode; the next decode starts a new one.
    void endIdleProcesses();

    // The picture of a file URL, as large as it needs to be to cover each of `sizes` (pixels) with its
    // aspect ratio kept, never larger than the picture (an SVG is drawn at that size), ready to draw:
    // opaque pictures as RGB32, others premultiplied. With no sizes, a screen of 1920 × 1080 is assumed.
    Decoded covering(const QUrl &url, QList<QSize> sizes, Ending ending = {});
    // A preview of the picture at `path`: at most `longerSide` (1 or more) pixels on its longer side,
    // with its orientation applied.
    Decoded fitting(const QString &path, int longerSide, Ending ending = {});

    // "The picture “…” cannot be found."
    static QString notFoundMessage(const QString &path);
    // The name a person knows the picture at `path` by: the file it was copied from, where the copy
    // records one (recordOrigin); otherwise the path itself.
    static QString nameOf(const QString &path);
    // Records on the picture `copy` the file it was copied from (the desktop's "user.xdg.origin.url"),
    // where the file system keeps such a note.
    static void recordOrigin(const QString &copy, const QString &source);

private:
    class Processes;
    Decoded decode(const QString &path, const PictureProtocol::Request &request, const Ending &ending);

    const Limits m_limits;
    std::unique_ptr<Processes> m_processes;
};

} // namespace KivDesktopBackground
