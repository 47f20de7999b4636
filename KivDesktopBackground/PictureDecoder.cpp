#include "KivDesktopBackground/PictureDecoder.h"

#include "platform/BesideProgram.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

extern char **environ;

namespace KivDesktopBackground {

namespace {

using Clock = std::chrono::steady_clock;
using PictureProtocol::Answer;
using PictureProtocol::Request;

// An idle process is ended after this long.
constexpr std::chrono::seconds idleLife {10};
// How often a decode that waits for its answer looks at its ending, its time and (where the process's
// address space is not limited) the process's memory.
constexpr std::chrono::milliseconds lookInterval {50};
// Where the desktop's programs note the file or address a file came from.
const char originAttribute[] = "user.xdg.origin.url";

// Counts the quits of the program: each one ends the decodes that still run, so that quitting (which
// waits for the threads that decode) does not wait for them.
std::atomic<quint64> g_quits = 0;

QString tr(const char *text)
{
    return QCoreApplication::translate("PictureDecoder", text);
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString cannotBeShown(const QString &path, const QString &reason)
{
    return tr("The picture “%1” cannot be shown: %2.").arg(PictureDecoder::nameOf(path), reason);
}

QString memoryReason(qint64 bytes)
{
    const QString amount = bytes % (qint64(1) << 30) == 0 ? tr("%1 GiB").arg(bytes >> 30)
                                                          : tr("%1 MiB").arg((bytes + (1 << 20) - 1) >> 20);
    return tr("decoding it needs more than %1 of memory").arg(amount);
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

// A canvas (see PictureProtocol) as the program holds it: the file, and the program's mapping of it,
// which only reads.
struct Canvas
{
    int file = -1;
    const uchar *data = nullptr;
    size_t size = 0;
    pid_t drawnBy = 0; // the process that drew on it last, which most likely has it mapped still
};

void release(const Canvas &canvas)
{
    ::munmap(const_cast<uchar *>(canvas.data), canvas.size);
    ::close(canvas.file);
}

// The canvas `descriptor` that process `drawnBy` handed over with a picture, mapped, the descriptor
// then its own; nothing (the descriptor closed) when it is not a file in memory sealed against
// shrinking or cannot be mapped. Reading where a file shrank under its mapping would end the program
// (SIGBUS), and so may reading a file of huge pages when the system has none to give.
std::optional<Canvas> adopt(int descriptor, pid_t drawnBy)
{
    struct statfs fileSystem
    {
    };
    struct stat status
    {
    };
    const int seals = ::fcntl(descriptor, F_GET_SEALS);
    void *data = MAP_FAILED;
    if (seals >= 0 && (seals & F_SEAL_SHRINK) && ::fstatfs(descriptor, &fileSystem) == 0
        && fileSystem.f_type == TMPFS_MAGIC && ::fstat(descriptor, &status) == 0 && status.st_size > 0
        && status.st_size <= PictureProtocol::maxPixels * 4)
        data = ::mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_SHARED, descriptor, 0);
    if (data == MAP_FAILED) {
        ::close(descriptor);
        return std::nullopt;
    }
    return Canvas {descriptor, static_cast<const uchar *>(data), size_t(status.st_size), drawnBy};
}

// The canvases whose pictures are no longer shown, lent to later decodes. They are kept as long as
// decoding processes live and go with the last of them, a few seconds after the last decode. Never
// destroyed: a picture may outlive everything else.
class SpareCanvases
{
public:
    static SpareCanvases &shared()
    {
        static auto *spares = new SpareCanvases;
        return *spares;
    }

    // A canvas to lend to `process`: one it drew on before where there is one, else the largest; nothing
    // when there is none.
    std::optional<Canvas> lend(pid_t process)
    {
        const std::lock_guard lock(m_mutex);
        const auto lessSuited = [process](const Canvas &one, const Canvas &other) {
            return std::pair(one.drawnBy == process, one.size)
                < std::pair(other.drawnBy == process, other.size);
        };
        const auto chosen = std::max_element(m_spares.begin(), m_spares.end(), lessSuited);
        if (chosen == m_spares.end())
            return std::nullopt;
        const Canvas canvas = *chosen;
        m_spares.erase(chosen);
        m_spareBytes -= canvas.size;
        return canvas;
    }

    void giveBack(const Canvas &canvas)
    {
        {
            const std::lock_guard lock(m_mutex);
            if (m_processes > 0 && m_spares.size() < maxSpares
                && m_spareBytes + canvas.size <= maxSpareBytes) {
                m_spares.push_back(canvas);
                m_spareBytes += canvas.size;
                return;
            }
        }
        release(canvas);
    }

    // The picture on `canvas`: shown from the canvas itself, which comes back when the picture goes; or
    // a copy, for which the canvas comes back at once (a null image when there is no memory for it).
    QImage picture(const Canvas &canvas, int width, int height, QImage::Format format, bool copied)
    {
        if (!copied)
            return QImage(canvas.data, width, height, qsizetype(width) * 4, format, &pictureGone,
                          new Canvas(canvas));
        QImage copy(width, height, format);
        if (!copy.isNull())
            std::memcpy(copy.bits(), canvas.data, size_t(copy.sizeInBytes()));
        giveBack(canvas);
        return copy;
    }

    void processStarted()
    {
        const std::lock_guard lock(m_mutex);
        ++m_processes;
    }
    void processEnded()
    {
        std::vector<Canvas> spares;
        {
            const std::lock_guard lock(m_mutex);
            if (--m_processes == 0) {
                spares.swap(m_spares);
                m_spareBytes = 0;
            }
        }
        for (const Canvas &canvas : spares)
            release(canvas);
    }

private:
    // Enough for a picture being decoded while one is shown, and for a preview on each core.
    static constexpr size_t maxSpares = 8;
    static constexpr size_t maxSpareBytes = size_t(64) << 20;

    static void pictureGone(void *canvas)
    {
        const std::unique_ptr<Canvas> gone(static_cast<Canvas *>(canvas));
        shared().giveBack(*gone);
    }

    std::mutex m_mutex;
    std::vector<Canvas> m_spares;
    size_t m_spareBytes = 0;
    int m_processes = 0;
};

// A decoding process, and the program's end of the socket to it.
struct Process
{
    pid_t pid = 0;
    int socket = -1;
    Clock::time_point idleSince {};
};

// Ends the process at once, whatever it does, and reaps it.
void end(Process &process)
{
    if (process.pid > 0) {
        ::kill(process.pid, SIGKILL);
        while (::waitpid(process.pid, nullptr, 0) < 0 && errno == EINTR) { }
        SpareCanvases::shared().processEnded();
    }
    if (process.socket >= 0)
        ::close(process.socket);
    process = {};
}

// The descriptor moved above the standard ones, which the process's own take the place of.
int aboveStandard(int descriptor)
{
    if (descriptor > STDERR_FILENO)
        return descriptor;
    const int moved = ::fcntl(descriptor, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(descriptor);
    return moved;
}

// A new decoding process with its limits, the socket as its standard input; nothing when it cannot
// be started, and `why` says why.
std::optional<Process> start(const PictureDecoder::Limits &limits, QString *why)
{
    const QString tool =
        Platform::besideProgram(QStringLiteral("tapestrel-picture"), "TAPESTREL_PICTURE_TOOL");
    if (tool.isEmpty()) {
        *why = tr("“tapestrel-picture” is not installed beside the program");
        return std::nullopt;
    }
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        *why = errnoText(errno);
        return std::nullopt;
    }
    sockets[0] = aboveStandard(sockets[0]);
    sockets[1] = aboveStandard(sockets[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, sockets[1], STDIN_FILENO);
    // Whatever the program ignores or blocks, the process ends when its reader is gone or its own
    // alarm rings.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attributes, &signalSet);
    sigaddset(&signalSet, SIGPIPE);
    sigaddset(&signalSet, SIGALRM);
    posix_spawnattr_setsigdefault(&attributes, &signalSet);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    QByteArray program = QFile::encodeName(tool);
    QByteArray memoryFlag("--memory");
    QByteArray memory = QByteArray::number(limits.memoryBytes);
    QByteArray alarmFlag("--alarm");
    // The process's own alarm only ends it where the program is no longer there to.
    QByteArray alarm = QByteArray::number(qint64(limits.time.count() / 1000) + 10);
    char *arguments[] = {program.data(),   memoryFlag.data(), memory.data(),
                         alarmFlag.data(), alarm.data(),      nullptr};
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.constData(), &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(sockets[1]);
    if (error != 0) {
        ::close(sockets[0]);
        *why = QStringLiteral("%1: %2").arg(tool, errnoText(error));
        return std::nullopt;
    }
    SpareCanvases::shared().processStarted();
    return Process {pid, sockets[0]};
}

// The process's resident memory, in bytes; 0 when it cannot be told.
qint64 residentBytes(pid_t pid)
{
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/statm";
    const int file = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return 0;
    char text[128] = {};
    const ssize_t length = ::read(file, text, sizeof text - 1);
    ::close(file);
    // "<size> <resident> …", in pages.
    const QList<QByteArray> fields = QByteArray(text, std::max<ssize_t>(length, 0)).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

} // namespace

// Idle decoding processes, the most recently used last; a thread of its own ends those idle too long.
class PictureDecoder::Processes
{
public:
    explicit Processes(const Limits &limits)
        : m_limits(limits)
    { }
    ~Processes()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_reaper.join();
        for (Process &process : m_idle)
            end(process);
    }

    // An idle process (`idle` is then set), or a new one; nothing when none can be started, and `why`
    // says why.
    std::optional<Process> take(bool *idle, QString *why)
    {
        {
            const std::lock_guard lock(m_mutex);
            *idle = !m_idle.empty();
            if (*idle) {
                const Process process = m_idle.back();
                m_idle.pop_back();
                return process;
            }
        }
        // One at a time: where the program lies is looked up anew.
        const std::lock_guard starting(m_starting);
        return start(m_limits, why);
    }

    void endIdle()
    {
        std::vector<Process> idle;
        {
            const std::lock_guard lock(m_mutex);
            idle.swap(m_idle);
        }
        for (Process &process : idle)
            end(process);
    }

    void giveBack(Process process)
    {
        process.idleSince = Clock::now();
        {
            const std::lock_guard lock(m_mutex);
            m_idle.push_back(process);
        }
        m_changed.notify_all();
    }

private:
    void reap()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            if (m_idle.empty()) {
                m_changed.wait(lock);
                continue;
            }
            const Clock::time_point expiry = m_idle.front().idleSince + idleLife;
            if (Clock::now() < expiry) {
                m_changed.wait_until(lock, expiry);
                continue;
            }
            Process idle = m_idle.front();
            m_idle.erase(m_idle.begin());
            lock.unlock();
            end(idle);
            lock.lock();
        }
    }

    const Limits m_limits;
    std::mutex m_starting;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Process> m_idle;
    bool m_stopping = false;
    // Started last, once what it uses is there.
    std::thread m_reaper {&Processes::reap, this};
};

PictureDecoder::PictureDecoder()
    : PictureDecoder(Limits {})
{ }

PictureDecoder::PictureDecoder(Limits limits)
    : m_limits(limits)
    , m_processes(std::make_unique<Processes>(limits))
{ }

PictureDecoder::~PictureDecoder() = default;

PictureDecoder &PictureDecoder::shared()
{
    static PictureDecoder decoder;
    static std::once_flag quitting;
    std::call_once(quitting, [] {
        if (QCoreApplication::instance()) {
            qAddPostRoutine([] {
                ++g_quits;
                PictureDecoder::shared().endIdleProcesses();
            });
        }
    });
    return decoder;
}

void PictureDecoder::endIdleProcesses()
{
    m_processes->endIdle();
}

QString PictureDecoder::notFoundMessage(const QString &path)
{
    return tr("The picture “%1” cannot be found.").arg(path);
}

QString PictureDecoder::nameOf(const QString &path)
{
    char origin[4096];
    const ssize_t length =
        ::getxattr(QFile::encodeName(path).constData(), originAttribute, origin, sizeof origin);
    if (length <= 0)
        return path;
    const QUrl url(QString::fromUtf8(origin, length), QUrl::StrictMode);
    return url.isLocalFile() ? url.toLocalFile() : path;
}

void PictureDecoder::recordOrigin(const QString &copy, const QString &source)
{
    const QByteArray origin = QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath()).toEncoded();
    ::setxattr(QFile::encodeName(copy).constData(), originAttribute, origin.constData(),
               size_t(origin.size()), 0);
}

PictureDecoder::Decoded PictureDecoder::covering(const QUrl &url, QList<QSize> sizes, Ending ending)
{
    if (!url.isLocalFile())
        return {{}, tr("The picture “%1” is not a file.").arg(url.toString())};
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {{}, notFoundMessage(path)};
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
    const quint64 quits = g_quits;
    QFile file;
    if (const std::optional<QString> failure =
            Platform::RegularFile::open(file, path, PictureProtocol::maxBytes))
        return {{}, cannotBeShown(path, *failure)};

    std::optional<Process> process;
    // The canvas lent for the picture, and the one it comes on; each goes back to the spares unless
    // the picture is shown from it.
    std::optional<Canvas> lent;
    std::optional<Canvas> canvas;
    const auto giveBack = qScopeGuard([&] {
        for (const std::optional<Canvas> &spare : {lent, canvas}) {
            if (spare)
                SpareCanvases::shared().giveBack(*spare);
        }
    });
    for (;;) {
        bool idle = false;
        QString why;
        process = m_processes->take(&idle, &why);
        if (!process)
            return {
                {},
                cannotBeShown(path, tr("the program that decodes pictures cannot be started (%1)").arg(why))};
        if (!lent)
            lent = SpareCanvases::shared().lend(process->pid);
        if (PictureProtocol::send(process->socket, &request, sizeof request,
                                  {file.handle(), lent ? lent->file : -1}))
            break;
        end(*process);
        // An idle process may have been ended meanwhile (the system short of memory, say): a new one
        // is asked then.
        if (!idle)
            return {{}, cannotBeShown(path, diedReason())};
    }
    file.close();

    // Receives `size` bytes of the answer, and the descriptor of a canvas that comes with them into
    // `handedOver`; why not, when the limits or a later background ended it.
    const Clock::time_point deadline = Clock::now() + m_limits.time;
    int handedOver[] = {-1};
    const auto closeHandedOver = qScopeGuard([&handedOver] {
        if (handedOver[0] >= 0)
            ::close(handedOver[0]);
    });
    const auto receive = [&](void *data, qint64 size) -> std::optional<QString> {
        auto *bytes = static_cast<char *>(data);
        qint64 done = 0;
        while (done < size) {
            const ssize_t got = PictureProtocol::receive(process->socket, bytes + done, size_t(size - done),
                                                         handedOver, MSG_DONTWAIT);
            if (got > 0) {
                done += got;
                continue;
            }
            if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                return diedReason();
            if ((ending && *ending) || g_quits != quits)
                return tr("decoding it was ended");
            const Clock::time_point now = Clock::now();
            if (now >= deadline)
                return timeReason(m_limits.time);
            if (!PictureProtocol::limitsAddressSpace && residentBytes(process->pid) > m_limits.memoryBytes)
                return memoryReason(m_limits.memoryBytes);
            pollfd ready {process->socket, POLLIN, 0};
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
                std::min<Clock::duration>(lookInterval, deadline - now));
            ::poll(&ready, 1, int(wait.count()));
        }
        return std::nullopt;
    };
    const auto failed = [&](const QString &reason) {
        end(*process);
        return Decoded {{}, cannotBeShown(path, reason)};
    };
    // The process ends after some answers (a decoder's warning ends a decode where it stands).
    const auto done = [&](const Answer &answer) {
        if (answer.ending)
            end(*process);
        else
            m_processes->giveBack(*process);
    };

    Answer answer;
    if (const std::optional<QString> reason = receive(&answer, sizeof answer))
        return failed(*reason);
    if (answer.version != PictureProtocol::version || answer.ending > 1)
        return failed(nonsenseReason());
    switch (answer.outcome) {
    case PictureProtocol::Outcome::outOfMemory:
        return failed(memoryReason(m_limits.memoryBytes));
    case PictureProtocol::Outcome::refused: {
        if (answer.reasonBytes == 0 || answer.reasonBytes > PictureProtocol::maxReasonBytes)
            return failed(nonsenseReason());
        QByteArray text(qsizetype(answer.reasonBytes), '\0');
        if (const std::optional<QString> reason = receive(text.data(), text.size()))
            return failed(*reason);
        done(answer);
        return {{}, cannotBeShown(path, QString::fromUtf8(text))};
    }
    case PictureProtocol::Outcome::picture: {
        const auto format = QImage::Format(answer.format);
        const qint64 pixels = qint64(answer.width) * answer.height;
        const bool withinRequest = request.fit == PictureProtocol::Fit::cover
            || (answer.width <= request.width && answer.height <= request.height);
        if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied)
            || answer.width < 1 || answer.height < 1 || pixels > PictureProtocol::maxPixels
            || qint64(answer.bytesPerLine) != qint64(answer.width) * 4 || !withinRequest)
            return failed(nonsenseReason());
        // On the canvas handed over with it, else on the lent one.
        canvas = handedOver[0] >= 0 ? adopt(std::exchange(handedOver[0], -1), process->pid)
                                    : std::exchange(lent, std::nullopt);
        if (!canvas || size_t(answer.bytesPerLine) * size_t(answer.height) > canvas->size)
            return failed(nonsenseReason());
        canvas->drawnBy = process->pid;
        // Previews, which the program keeps by the hundred, are copied off their canvases.
        QImage image =
            SpareCanvases::shared().picture(*std::exchange(canvas, std::nullopt), answer.width, answer.height,
                                            format, request.fit == PictureProtocol::Fit::within);
        if (image.isNull())
            return failed(memoryReason(m_limits.memoryBytes));
        done(answer);
        return {image, std::nullopt};
    }
    }
    return failed(nonsenseReason());
}

} // namespace KivDesktopBackground
