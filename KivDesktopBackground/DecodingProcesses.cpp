#include "KivDesktopBackground/DecodingProcesses.h"

#include "KivDesktopBackground/DecoderOutput.h"
#include "KivDesktopBackground/SpareCanvases.h"
#include "KivDesktopBackground/UserFonts.h"
#include "platform/BesideProgram.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace KivDesktopBackground {

namespace {

using Clock = std::chrono::steady_clock;

// An idle process is ended after this long.
constexpr std::chrono::seconds idleLife {10};
// A process's own alarm rings this long after the time of one picture: it ends the process only where
// the program no longer can.
constexpr std::chrono::seconds alarmAfterTime {10};

QString tr(const char *text)
{
    return QCoreApplication::translate("PictureDecoder", text);
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

// Whether the program's variable `name` goes to the decoding process as it is.
bool passedOn(const QByteArray &name)
{
    // Where the toolkit's plugins lie is the decoding process's own to know: it lets itself read only
    // there once confined, and loads them before. The home and the data folders say where the user's
    // own fonts lie, which a picture's text may be set in, and the cache folder where the font
    // configuration keeps what they hold.
    static const char *const names[] = {"LANG",          "LANGUAGE",      "LD_LIBRARY_PATH",
                                        "ASAN_OPTIONS",  "UBSAN_OPTIONS", "LSAN_OPTIONS",
                                        "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CACHE_HOME"};
    return name.startsWith("LC_")
        || std::any_of(std::begin(names), std::end(names),
                       [&name](const char *kept) { return name == kept; });
}

} // namespace

DecodingProcesses::DecodingProcesses(const DecoderLimits &limits, SpareCanvases &spares)
    : m_limits(limits)
    , m_spares(spares)
{ }

DecodingProcesses::~DecodingProcesses()
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

QString DecodingProcesses::tool()
{
    return Platform::besideProgram(QStringLiteral("tapestrel-picture"), "TAPESTREL_PICTURE_TOOL");
}

QByteArrayList DecodingProcesses::environment()
{
    // A process without a display draws on the toolkit's own offscreen surface.
    QByteArrayList variables {"QT_QPA_PLATFORM=offscreen"};
    // The home as a path, nothing else of the user's: where it is none, the process asks the system.
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/'))
        variables.append("HOME=" + home);
    for (char **variable = environ; *variable; ++variable) {
        const QByteArray entry(*variable);
        const qsizetype equals = entry.indexOf('=');
        if (equals > 0 && passedOn(entry.left(equals)))
            variables.append(entry);
    }
    return variables;
}

std::optional<DecodingProcesses::Process> DecodingProcesses::start(QString *why)
{
    const QString program = tool();
    if (program.isEmpty()) {
        *why = tr("“tapestrel-picture” is not installed beside the program");
        return std::nullopt;
    }
    QByteArrayList variables = environment();
    UserFonts::keepCacheCurrent(variables);
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    // Its standard output and error are a pipe of its own, which the program passes on: whatever the
    // process does to them (their flags, say) leaves the program's own and its terminal as they are.
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        ::close(sockets[0]);
        ::close(sockets[1]);
        return std::nullopt;
    }
    for (int *descriptor : {&sockets[0], &sockets[1], &output[0], &output[1]})
        *descriptor = aboveStandard(*descriptor);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, sockets[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
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
    QByteArray path = QFile::encodeName(program);
    QByteArray memoryFlag("--memory");
    QByteArray memory = QByteArray::number(m_limits.memoryBytes);
    QByteArray alarmFlag("--alarm");
    QByteArray alarm =
        QByteArray::number(qint64(std::chrono::ceil<std::chrono::seconds>(m_limits.time).count())
                           + qint64(alarmAfterTime.count()));
    char *arguments[] = {path.data(),      memoryFlag.data(), memory.data(),
                         alarmFlag.data(), alarm.data(),      nullptr};
    std::vector<char *> environmentOfItsOwn;
    for (QByteArray &variable : variables)
        environmentOfItsOwn.push_back(variable.data());
    environmentOfItsOwn.push_back(nullptr);
    pid_t pid = 0;
    // posix_spawn, not posix_spawnp: the path is used as it is, never looked up.
    const int error =
        ::posix_spawn(&pid, path.constData(), &actions, &attributes, arguments, environmentOfItsOwn.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(sockets[1]);
    ::close(output[1]);
    if (error != 0) {
        ::close(output[0]);
        ::close(sockets[0]);
        *why = QStringLiteral("%1: %2").arg(program, QString::fromLocal8Bit(std::strerror(error)));
        return std::nullopt;
    }
    DecoderOutput::passOn(output[0], m_limits.outputBytes);
    m_spares.processStarted();
    return Process {pid, sockets[0]};
}

void DecodingProcesses::end(Process &process)
{
    if (process.pid > 0) {
        ::kill(process.pid, SIGKILL);
        while (::waitpid(process.pid, nullptr, 0) < 0 && errno == EINTR) { }
        m_spares.processEnded();
    }
    if (process.socket >= 0)
        ::close(process.socket);
    process = {};
}

qint64 DecodingProcesses::residentBytes(pid_t pid)
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

std::optional<DecodingProcesses::Process> DecodingProcesses::take(bool *idle, QString *why)
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
    return start(why);
}

void DecodingProcesses::endIdle()
{
    std::vector<Process> idle;
    {
        const std::lock_guard lock(m_mutex);
        idle.swap(m_idle);
    }
    for (Process &process : idle)
        end(process);
}

void DecodingProcesses::giveBack(Process process)
{
    process.idleSince = Clock::now();
    {
        const std::lock_guard lock(m_mutex);
        m_idle.push_back(process);
    }
    m_changed.notify_all();
}

void DecodingProcesses::reap()
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

} // namespace KivDesktopBackground
