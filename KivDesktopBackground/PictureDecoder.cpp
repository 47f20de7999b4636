#include "KivDesktopBackground/PictureDecoder.h"

#include "platform/BesideProgram.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
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

// The memory that pictures as large as a screen's are received into. It is mapped from the system for
// each picture and goes back to it with the picture: what malloc() gave a worker thread would stay in
// that thread's pool. Fresh pages cost the system about half of a photo's decoding to hand out, so the
// memory of the last picture that went is kept for the next one of the same size, as long as decoding
// processes live: it goes with the last of them, a few seconds after the last decode. Never destroyed:
// a picture may outlive everything else.
class PictureMemory
{
public:
    static PictureMemory &shared()
    {
        static auto *memory = new PictureMemory;
        return *memory;
    }

    // A picture to receive pixels into; a null image when there is no memory for it.
    QImage picture(int width, int height, qsizetype bytesPerLine, QImage::Format format)
    {
        const size_t size = size_t(bytesPerLine) * size_t(height);
        if (size < smallest)
            return QImage(width, height, format);
        Block block;
        {
            const std::lock_guard lock(m_mutex);
            if (m_spare.size == size)
                block = std::exchange(m_spare, {});
        }
        if (!block.data) {
            block = {::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                            -1, 0),
                     size};
            if (block.data == MAP_FAILED)
                return {};
        }
        return QImage(static_cast<uchar *>(block.data), width, height, bytesPerLine, format, &release,
                      new Block(block));
    }

    void processStarted()
    {
        const std::lock_guard lock(m_mutex);
        ++m_processes;
    }
    void processEnded()
    {
        Block spare;
        {
            const std::lock_guard lock(m_mutex);
            if (--m_processes == 0)
                spare = std::exchange(m_spare, {});
        }
        if (spare.data)
            ::munmap(spare.data, spare.size);
    }

private:
    // Smaller pictures (previews) come from malloc().
    static constexpr size_t smallest = size_t(1) << 20;

    struct Block
    {
        void *data = nullptr;
        size_t size = 0;
    };

    static void release(void *block)
    {
        const std::unique_ptr<Block> released(static_cast<Block *>(block));
        PictureMemory &memory = shared();
        {
            const std::lock_guard lock(memory.m_mutex);
            if (!memory.m_spare.data && memory.m_processes > 0) {
                memory.m_spare = *released;
                return;
            }
        }
        ::munmap(released->data, released->size);
    }

    std::mutex m_mutex;
    Block m_spare;
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
        PictureMemory::shared().processEnded();
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
    PictureMemory::shared().processStarted();
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
    for (;;) {
        bool idle = false;
        QString why;
        process = m_processes->take(&idle, &why);
        if (!process)
            return {
                {},
                cannotBeShown(path, tr("the program that decodes pictures cannot be started (%1)").arg(why))};
        if (PictureProtocol::send(process->socket, &request, sizeof request, file.handle()))
            break;
        end(*process);
        // An idle process may have been ended meanwhile (the system short of memory, say): a new one
        // is asked then.
        if (!idle)
            return {{}, cannotBeShown(path, diedReason())};
    }
    file.close();

    // Receives `size` bytes of the answer; why not, when the limits or a later background ended it.
    const Clock::time_point deadline = Clock::now() + m_limits.time;
    const auto receive = [&](void *data, qint64 size) -> std::optional<QString> {
        auto *bytes = static_cast<char *>(data);
        qint64 done = 0;
        while (done < size) {
            const ssize_t got = ::recv(process->socket, bytes + done, size_t(size - done), MSG_DONTWAIT);
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
        QImage image =
            PictureMemory::shared().picture(answer.width, answer.height, answer.bytesPerLine, format);
        if (image.isNull())
            return failed(memoryReason(m_limits.memoryBytes));
        if (const std::optional<QString> reason = receive(image.bits(), image.sizeInBytes()))
            return failed(*reason);
        done(answer);
        return {image, std::nullopt};
    }
    }
    return failed(nonsenseReason());
}

} // namespace KivDesktopBackground
