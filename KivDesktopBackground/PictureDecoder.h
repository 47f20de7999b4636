#pragma once

#include "KivDesktopBackground/DecoderLimits.h"
#include "KivDesktopBackground/PictureProtocol.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace KivDesktopBackground {

class DecodingProcesses;
class MemoryBudget;
class SpareCanvases;

// Decodes the pictures that a user or an archive names, each in a short-lived process of the
// program's own ("tapestrel-picture", installed beside the program; $TAPESTREL_PICTURE_TOOL names
// another; see DecodingProcesses) that holds none of the program's state: whatever a format's decoder
// does with a hostile picture, it can neither crash, hold nor swell the program. The program hands the
// process the opened file (a regular file within PictureProtocol::maxBytes, so nothing waits on a pipe
// put in its place) and the size it will draw at, and takes back only the decoded pixels. A decode
// that passes the memory or the time limit is ended and fails naming the limit; so does one whose
// process dies or answers nonsense, and what a decoder merely warns about (cut or corrupt data) fails
// too. A refusal (or a need for more memory than the limit) is remembered for the file as it is (its
// path, size, and times of modification and change to the nanosecond) and the size asked: asked again,
// that version fails at once with the same sentence, neither decoded anew nor costing a process; once
// the file changes in any way it is tried again. A decode that ran out of time, or whose process died,
// is not remembered: it may go otherwise on a machine less busy.
//
// A process decodes one picture at a time, several in turn; one left idle for a few seconds is ended.
// The decodes of one decoder that run at once take their memory limits from its budget, so that
// together they never pass it: the others wait. Every member may be called from any thread. A decode
// blocks its caller: wait for it on the decoder's own threads (pool()), never on the GUI thread nor on
// the toolkit's shared pool, which the window's drawing uses.
class PictureDecoder
{
public:
    // What each decoding process may cost the program.
    using Limits = DecoderLimits;
    // Set (to true) to end a decode that still runs: a later background took its place.
    using Ending = std::shared_ptr<std::atomic<bool>>;

    struct Decoded
    {
        QImage image;
        std::optional<QString> failure; // a sentence naming the picture; set when `image` is null
    };

    PictureDecoder();
    // A decoder whose decodes together take at most `budgetBytes` of memory (at least one decode runs).
    explicit PictureDecoder(Limits limits, qint64 budgetBytes = qint64(1) << 30, int threads = 2);
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder &) = delete;
    PictureDecoder &operator=(const PictureDecoder &) = delete;

    // The one for the pictures the screens show: 1 GiB for one picture at a time. And the one for
    // previews: 512 MiB each, two at a time. Together no more than 2 GiB. Quitting ends the decodes
    // that still run, and every process, before the program ends.
    static PictureDecoder &shared();
    static PictureDecoder &previews();
    // Ends the processes that wait for a picture to decode; the next decode starts a new one.
    void endIdleProcesses();

    // The threads that wait on this decoder's decodes.
    QThreadPool &pool() { return m_pool; }
    const Limits &limits() const { return m_limits; }
    const MemoryBudget &budget() const { return *m_budget; }

    // The picture of a file URL, as large as it needs to be to cover each of `sizes` (pixels) with its
    // aspect ratio kept, never larger than the picture (an SVG is drawn at that size), ready to draw:
    // opaque pictures as RGB32, others premultiplied. With no sizes, a screen of 1920 × 1080 is assumed.
    // A picture that cannot be drawn so (its covering size is too large) fails naming why.
    Decoded covering(const QUrl &url, QList<QSize> sizes, Ending ending = {});
    // A preview of the picture at `path`: at most `longerSide` (1 or more) pixels on its longer side,
    // with its orientation applied.
    Decoded fitting(const QString &path, int longerSide, Ending ending = {});

private:
    // The failures remembered for the files as they were refused, by the version of each (versionOf in
    // the source), at most maxCount of them.
    class Refusals
    {
    public:
        std::optional<QString> of(const QByteArray &version) const;
        void remember(const QByteArray &version, const QString &failure);

    private:
        static constexpr size_t maxCount = 1000;
        mutable std::mutex m_mutex;
        QHash<QByteArray, QString> m_failures;
        std::deque<QByteArray> m_order; // the oldest first, forgotten first
    };

    Decoded decode(const QString &path, const PictureProtocol::Request &request, const Ending &ending);

    const Limits m_limits;
    std::unique_ptr<MemoryBudget> m_budget;
    SpareCanvases &m_spares;
    Refusals m_refusals;
    std::unique_ptr<DecodingProcesses> m_processes;
    // Last: destroyed first, it waits for the decodes that use the rest.
    QThreadPool m_pool;
};

} // namespace KivDesktopBackground
