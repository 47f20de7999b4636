#include "KivDesktopBackground/PictureDecoder.h"

#include "KivDesktopBackground/DecodingProcesses.h"
#include "KivDesktopBackground/MemoryBudget.h"
#include "KivDesktopBackground/PictureNames.h"
#include "KivDesktopBackground/SpareCanvases.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KivDesktopBackground {

namespace {

using Clock = std::chrono::steady_clock;
using PictureProtocol::Answer;
using PictureProtocol::Request;

// How often a decode that waits for its answer looks at its ending, its time and (where the process's
// address space is not limited) the process's memory.
constexpr std::chrono::milliseconds lookInterval {50};
// How long a quit waits for the decodes it ended to end their processes.
constexpr int quitWaitMilliseconds = 2000;

// Counts the quits of the program: a quit ends the decodes that still run and refuses later ones, so that
// quitting (which waits for the threads that decode) does not wait for them, and no decoding process
// outlives the program.
std::atomic<quint64> g_quits = 0;

QString tr(const char *text)
{
    return QCoreApplication::translate("PictureDecoder", text);
}

QString timeReason(std::chrono::milliseconds time)
{
    return tr("decoding it takes more than %1 seconds").arg(QString::number(double(time.count()) / 1000));
}

QString diedReason()
{
    return tr("decoding it stopped unexpectedly");
}

QString nonsenseReason()
{
    return tr("decoding it gave an answer that cannot be used");
}

QString endedReason()
{
    return tr("decoding it was ended");
}

// Says once in the program's log what of its confinement the decoding process could not put in place:
// pictures are then decoded with less protection, which the person running the program should know.
void tellUnconfined(quint32 missing)
{
    static std::once_flag told;
    if (missing == 0)
        return;
    std::call_once(told, [missing] {
        QStringList what;
        if (missing & PictureProtocol::Unconfined::noNewPrivileges)
            what.append(QStringLiteral("no_new_privs"));
        if (missing & PictureProtocol::Unconfined::landlock)
            what.append(QStringLiteral("Landlock"));
        if (missing & PictureProtocol::Unconfined::seccomp)
            what.append(QStringLiteral("seccomp"));
        if (missing & PictureProtocol::Unconfined::userNamespace)
            what.append(QStringLiteral("user namespaces"));
        const QString line = tr("Tapestrel: the kernel cannot confine the picture decoding process (it lacks "
                                "%1); pictures are decoded without that protection.\n")
                                 .arg(what.join(QStringLiteral(", ")));
        std::fputs(line.toLocal8Bit().constData(), stderr);
    });
}

// What a decode waits on for its answer: its process, until when, and whether it was ended.
struct Awaited
{
    const DecodingProcesses::Process &process;
    Clock::time_point deadline;
    const PictureDecoder::Limits &limits;
    const std::function<bool()> &endedEarly;
};

// Receives `size` bytes of the process's answer (a descriptor sent with them is closed: the process
// hands over none); why not, when the process died, or the limits or a later background ended it.
std::optional<QString> receiveAnswer(const Awaited &from, void *data, qint64 size)
{
    auto *bytes = static_cast<char *>(data);
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = PictureProtocol::receive(from.process.socket, bytes + done, size_t(size - done),
                                                     {}, MSG_DONTWAIT);
        if (got > 0) {
            done += got;
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return diedReason();
        if (from.endedEarly())
            return endedReason();
        const Clock::time_point now = Clock::now();
        if (now >= from.deadline)
            return timeReason(from.limits.time);
        if (!PictureProtocol::limitsAddressSpace
            && DecodingProcesses::residentBytes(from.process.pid) > from.limits.memoryBytes)
            return PictureNames::memoryReason(from.limits.memoryBytes);
        pollfd ready {from.process.socket, POLLIN, 0};
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
            std::min<Clock::duration>(lookInterval, from.deadline - now));
        ::poll(&ready, 1, int(wait.count()));
    }
    return std::nullopt;
}

// The version of the open file `descriptor` at `path` as a refusal remembers it, with what was asked
// of it: a file changed since in any way is a new version. Its modification time can be set back to
// what it was, never its change time, which the kernel sets anew with every write and every change of
// the other. Empty when it cannot be told.
QByteArray versionOf(int descriptor, const QString &path, const Request &request)
{
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) != 0)
        return {};
    QByteArray version = QFile::encodeName(path);
    for (const qint64 field :
         {qint64(status.st_dev), qint64(status.st_ino), qint64(status.st_size), qint64(status.st_mtim.tv_sec),
          qint64(status.st_mtim.tv_nsec), qint64(status.st_ctim.tv_sec), qint64(status.st_ctim.tv_nsec),
          qint64(request.fit), qint64(request.width), qint64(request.height)})
        version += '\0' + QByteArray::number(field);
    return version;
}

// The decoders made so far, which a quit ends.
std::mutex g_decodersMutex;
std::vector<PictureDecoder *> g_decoders;

// One of the program's decoders, with 1 GiB for its decodes together; a quit ends its decodes and
// processes. Never destroyed: a decode may be waited for until the very end of the process.
PictureDecoder *endedAtQuit(PictureDecoder::Limits limits)
{
    auto *decoder = new PictureDecoder(limits, qint64(1) << 30);
    const std::lock_guard lock(g_decodersMutex);
    g_decoders.push_back(decoder);
    static bool registered = false;
    if (registered || !QCoreApplication::instance())
        return decoder;
    registered = true;
    qAddPostRoutine([] {
        ++g_quits;
        const std::lock_guard lock(g_decodersMutex);
        // The decodes see the quit within a look and end their processes; the program ends only then.
        for (PictureDecoder *decoder : g_decoders) {
            // Decodes that have not started never do.
            decoder->pool().clear();
            decoder->pool().waitForDone(quitWaitMilliseconds);
            decoder->endIdleProcesses();
        }
    });
    return decoder;
}

} // namespace

PictureDecoder::PictureDecoder()
    : PictureDecoder(Limits {})
{ }

PictureDecoder::PictureDecoder(Limits limits, qint64 budgetBytes, int threads)
    : m_limits(limits)
    , m_budget(std::make_unique<MemoryBudget>(budgetBytes))
    , m_spares(SpareCanvases::shared())
    , m_processes(std::make_unique<DecodingProcesses>(limits, m_spares))
{
    m_pool.setMaxThreadCount(threads);
    m_pool.setObjectName(QStringLiteral("PictureDecoder"));
}

PictureDecoder::~PictureDecoder() = default;

PictureDecoder &PictureDecoder::shared()
{
    static PictureDecoder *decoder = endedAtQuit(Limits {qint64(1) << 30, std::chrono::milliseconds(20000)});
    return *decoder;
}

PictureDecoder &PictureDecoder::previews()
{
    static PictureDecoder *decoder =
        endedAtQuit(Limits {qint64(512) << 20, std::chrono::milliseconds(20000)});
    return *decoder;
}

void PictureDecoder::endIdleProcesses()
{
    m_processes->endIdle();
}

PictureDecoder::Decoded PictureDecoder::covering(const QUrl &url, QList<QSize> sizes, Ending ending)
{
    if (!url.isLocalFile())
        return {{}, tr("The picture “%1” is not a file.").arg(url.toString())};
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {{}, PictureNames::notFoundMessage(path)};
    // What covers every screen covers the widest width and the greatest height among them.
    QSize cover;
    for (const QSize &size : sizes) {
        if (!size.isEmpty())
            cover = cover.expandedTo(size);
    }
    if (cover.isEmpty())
        cover = QSize(1920, 1080);
    return decode(
        path, Request {PictureProtocol::version, PictureProtocol::Fit::cover, cover.width(), cover.height()},
        ending);
}

PictureDecoder::Decoded PictureDecoder::fitting(const QString &path, int longerSide, Ending ending)
{
    return decode(path,
                  Request {PictureProtocol::version, PictureProtocol::Fit::within, longerSide, longerSide},
                  ending);
}

PictureDecoder::Decoded PictureDecoder::decode(const QString &path, const Request &request,
                                               const Ending &ending)
{
    // A quit ends every decode, also those asked for after it (a preview still waiting for its turn).
    const std::function<bool()> endedEarly = [&ending] {
        return (ending && *ending) || g_quits > 0;
    };
    if (endedEarly())
        return {{}, PictureNames::cannotBeShown(path, endedReason())};
    QFile file;
    if (const std::optional<QString> failure =
            Platform::RegularFile::open(file, path, PictureProtocol::maxBytes))
        return {{}, PictureNames::cannotBeShown(path, *failure)};
    const QByteArray version = versionOf(file.handle(), path, request);
    if (std::optional<QString> refused = m_refusals.of(version))
        return {{}, std::move(*refused)};

    // The memory the decode may take, from what the decodes running at once may take together.
    if (!m_budget->take(m_limits.memoryBytes, endedEarly))
        return {{}, PictureNames::cannotBeShown(path, endedReason())};
    const auto budgetBack = qScopeGuard([this] { m_budget->giveBack(m_limits.memoryBytes); });

    std::optional<DecodingProcesses::Process> process;
    // The canvas lent for the picture, and the one it comes on; each goes back to the spares unless
    // the picture is shown from it.
    std::optional<Canvas> lent;
    std::optional<Canvas> canvas;
    const auto giveBack = qScopeGuard([&] {
        for (const std::optional<Canvas> &spare : {lent, canvas}) {
            if (spare)
                m_spares.giveBack(*spare);
        }
    });
    for (;;) {
        bool idle = false;
        QString why;
        process = m_processes->take(&idle, &why);
        if (!process)
            return {{},
                    PictureNames::cannotBeShown(
                        path, tr("the program that decodes pictures cannot be started (%1)").arg(why))};
        if (!lent)
            lent = m_spares.lend(process->pid);
        if (PictureProtocol::send(process->socket, &request, sizeof request,
                                  {file.handle(), lent ? lent->file : -1}))
            break;
        m_processes->end(*process);
        // An idle process may have been ended meanwhile (the system short of memory, say): a new one
        // is asked then.
        if (!idle)
            return {{}, PictureNames::cannotBeShown(path, diedReason())};
    }
    file.close();

    const Awaited awaited {*process, Clock::now() + m_limits.time, m_limits, endedEarly};
    const auto failed = [&](const QString &reason) {
        m_processes->end(*process);
        return Decoded {{}, PictureNames::cannotBeShown(path, reason)};
    };
    // The process ends after some answers (a decoder's warning ends a decode where it stands).
    const auto done = [&](const Answer &answer) {
        if (answer.ending)
            m_processes->end(*process);
        else
            m_processes->giveBack(*process);
    };

    // A need for more memory than the limit is remembered, as a refusal is.
    const auto refusedForMemory = [&] {
        Decoded refused = failed(PictureNames::memoryReason(m_limits.memoryBytes));
        m_refusals.remember(version, *refused.failure);
        return refused;
    };
    // The canvases made for the process's asks, counted in its memory; each goes back to the spares
    // unless the picture comes on it.
    std::vector<std::optional<Canvas>> given;
    const auto giveBackGiven = qScopeGuard([&] {
        for (const std::optional<Canvas> &spare : given) {
            if (spare)
                m_spares.giveBack(*spare);
        }
    });
    Answer answer;
    qint64 askedBytes = 0;
    for (;;) {
        if (const std::optional<QString> reason = receiveAnswer(awaited, &answer, sizeof answer))
            return failed(*reason);
        if (answer.version != PictureProtocol::version || answer.ending > 1)
            return failed(nonsenseReason());
        if (answer.outcome != PictureProtocol::Outcome::canvasWanted)
            break;
        if (given.size() >= PictureProtocol::maxCanvasesAsked || answer.canvasBytes == 0)
            return failed(nonsenseReason());
        askedBytes += qint64(std::min<quint64>(answer.canvasBytes, quint64(1) << 62));
        if (askedBytes > m_limits.memoryBytes)
            return refusedForMemory();
        given.push_back(Canvas::make(size_t(answer.canvasBytes), process->pid));
        const PictureProtocol::CanvasGiven made {PictureProtocol::version, 0, answer.canvasBytes};
        if (!given.back()
            || !PictureProtocol::send(process->socket, &made, sizeof made, {given.back()->file}))
            return failed(PictureNames::memoryReason(m_limits.memoryBytes));
    }
    tellUnconfined(answer.unconfined);
    switch (answer.outcome) {
    case PictureProtocol::Outcome::outOfMemory:
        return refusedForMemory();
    case PictureProtocol::Outcome::refused: {
        if (answer.reasonBytes == 0 || answer.reasonBytes > PictureProtocol::maxReasonBytes)
            return failed(nonsenseReason());
        QByteArray text(qsizetype(answer.reasonBytes), '\0');
        if (const std::optional<QString> reason = receiveAnswer(awaited, text.data(), text.size()))
            return failed(*reason);
        done(answer);
        const QString refused = PictureNames::cannotBeShown(path, QString::fromUtf8(text));
        m_refusals.remember(version, refused);
        return {{}, refused};
    }
    case PictureProtocol::Outcome::picture: {
        const auto format = QImage::Format(answer.format);
        const qint64 pixels = qint64(answer.width) * answer.height;
        // A preview is never larger than asked for.
        const bool withinRequest = request.fit == PictureProtocol::Fit::cover
            || (answer.width <= request.width && answer.height <= request.height);
        if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied)
            || answer.width < 1 || answer.height < 1 || pixels > PictureProtocol::maxPixels
            || qint64(answer.bytesPerLine) != qint64(answer.width) * 4 || !withinRequest)
            return failed(nonsenseReason());
        // On the canvas lent with the request, or on one it asked for.
        if (answer.canvas == 0)
            canvas = std::exchange(lent, std::nullopt);
        else if (answer.canvas <= given.size())
            canvas = std::exchange(given[answer.canvas - 1], std::nullopt);
        if (!canvas || size_t(answer.bytesPerLine) * size_t(answer.height) > canvas->size)
            return failed(nonsenseReason());
        canvas->drawnBy = process->pid;
        // Previews, which the program keeps by the hundred, are copied off their canvases.
        QImage image = m_spares.picture(*std::exchange(canvas, std::nullopt), answer.width, answer.height,
                                        format, request.fit == PictureProtocol::Fit::within);
        if (image.isNull())
            return failed(PictureNames::memoryReason(m_limits.memoryBytes));
        done(answer);
        return {image, std::nullopt};
    }
    case PictureProtocol::Outcome::canvasWanted:
        break;
    }
    return failed(nonsenseReason());
}

std::optional<QString> PictureDecoder::Refusals::of(const QByteArray &version) const
{
    if (version.isEmpty())
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    const auto found = m_failures.constFind(version);
    return found == m_failures.constEnd() ? std::nullopt : std::optional<QString>(*found);
}

void PictureDecoder::Refusals::remember(const QByteArray &version, const QString &failure)
{
    if (version.isEmpty())
        return;
    const std::lock_guard lock(m_mutex);
    if (m_failures.contains(version))
        return;
    // A folder of a great many refused files forgets the oldest first.
    if (m_order.size() >= maxCount) {
        m_failures.remove(m_order.front());
        m_order.pop_front();
    }
    m_failures.insert(version, failure);
    m_order.push_back(version);
}

} // namespace KivDesktopBackground
