// The tests' build of the decoding process (never installed). It decodes as the installed process does,
// but takes a "picture" that asks what a decoder could do once the process is confined:
//
//   probe
//   <a file to open>
//   <a listening socket to connect to>
//   <a folder to write a file in>
//   <a file whose mode, owner, times and attributes to change>
//   <the id of shared memory (SysV) to attach>
//
// The answer (a refusal's reason) names what it did of these, or "nothing": opened the file, connected
// the socket, signalled the program, typed into the terminal, wrote in the folder, changed the file's
// metadata, reached the program's limits, signals, priority, scheduling or processors, made or attached
// shared memory, made a child or a user namespace, ran a program, or made a call that no decode makes.
// "probe 32-bit" makes a socket through the 32-bit calls instead (x86-64), and "probe leak" leaks memory
// ("leaked"), which the sanitizer build's leak check is to find when the process ends.

#include "DecodingProcess.h"

#include <QStringList>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/personality.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// Whether the kernel let the call through, when it is not refused for reasons of its own (a file
// system without attributes, a path that is not there).
bool passed(int result, std::initializer_list<int> otherwiseFailing = {})
{
    return result >= 0
        || std::find(otherwiseFailing.begin(), otherwiseFailing.end(), errno) != otherwiseFailing.end();
}

// Whether a child made by `made` (its result, as fork() gives it) came to be; the child ends at once.
bool childMade(long made)
{
    if (made == 0)
        ::_exit(0);
    if (made < 0)
        return false;
    ::waitpid(pid_t(made), nullptr, __WALL);
    return true;
}

bool connected(const QByteArray &path)
{
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    const bool reached =
        socket >= 0 && ::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (socket >= 0)
        ::close(socket);
    return reached;
}

bool wroteIn(const QByteArray &folder)
{
    const QByteArray path = folder + "/written";
    const int written = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (written < 0)
        return false;
    ::close(written);
    ::unlink(path.constData());
    return true;
}

// Each change leaves the file as it was.
QStringList changedMetadata(const QByteArray &path, int descriptor)
{
    QStringList reached;
    struct stat status
    {
    };
    ::stat(path.constData(), &status);
    if (::chmod(path.constData(), status.st_mode & 07777) == 0
        || ::fchmod(descriptor, status.st_mode & 07777) == 0)
        reached << QStringLiteral("its mode");
    if (::chown(path.constData(), status.st_uid, status.st_gid) == 0
        || ::fchown(descriptor, status.st_uid, status.st_gid) == 0)
        reached << QStringLiteral("its owner");
    const timespec times[] = {status.st_atim, status.st_mtim};
    if (::utimensat(AT_FDCWD, path.constData(), times, 0) == 0 || ::futimens(descriptor, times) == 0)
        reached << QStringLiteral("its times");
    if (passed(::setxattr(path.constData(), "user.probe", "1", 1, 0), {ENOTSUP})
        || passed(::fsetxattr(descriptor, "user.probe", "1", 1, 0), {ENOTSUP}))
        reached << QStringLiteral("its attributes");
    ::removexattr(path.constData(), "user.probe");
    return reached;
}

// What of the program (the parent) a call reached, each set to what it was; `descriptor` is one the
// process holds.
QStringList reachedProgram(int descriptor)
{
    QStringList reached;
    const pid_t program = ::getppid();
    if (::kill(program, 0) == 0)
        reached << QStringLiteral("the program");
    // The kernel would signal the program as the descriptor is ready.
    if (::fcntl(descriptor, F_SETOWN, program) == 0) {
        reached << QStringLiteral("the program's signals");
        ::fcntl(descriptor, F_SETOWN, 0);
    }
    rlimit limit {};
    if (::prlimit(program, RLIMIT_NOFILE, nullptr, &limit) == 0)
        reached << QStringLiteral("the program's limits");
    errno = 0;
    const int priority = ::getpriority(PRIO_PROCESS, id_t(program));
    if (::setpriority(PRIO_PROCESS, id_t(program), errno == 0 ? priority : 0) == 0)
        reached << QStringLiteral("the program's priority");
    const sched_param parameters {};
    if (::sched_setscheduler(program, SCHED_OTHER, &parameters) == 0)
        reached << QStringLiteral("the program's scheduling");
    cpu_set_t processors;
    CPU_ZERO(&processors);
    if (::sched_getaffinity(0, sizeof processors, &processors) == 0
        && ::sched_setaffinity(program, sizeof processors, &processors) == 0)
        reached << QStringLiteral("the program's processors");
    return reached;
}

QStringList reachedSharedMemory(int id)
{
    QStringList reached;
    const int made = ::shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600);
    if (made >= 0) {
        reached << QStringLiteral("new shared memory");
        ::shmctl(made, IPC_RMID, nullptr);
    }
    void *attached = ::shmat(id, nullptr, SHM_RDONLY);
    if (attached != reinterpret_cast<void *>(-1)) {
        reached << QStringLiteral("the shared memory");
        ::shmdt(attached);
    }
    return reached;
}

// A socket through the 32-bit calls, whose numbers the filter for 64-bit calls does not know.
QString socketOf32Bits()
{
#if defined(__x86_64__)
    constexpr long socket32 = 359;
    long result = 0;
    asm volatile("int $0x80"
                 : "=a"(result)
                 : "a"(socket32), "b"(AF_UNIX), "c"(SOCK_STREAM), "d"(0)
                 : "memory");
    return result >= 0 ? QStringLiteral("a socket") : QStringLiteral("nothing");
#else
    return QStringLiteral("nothing");
#endif
}

std::optional<QString> probe(QFile &file)
{
    const QList<QByteArray> lines = file.peek(4096).split('\n');
    if (lines.value(0) == "probe 32-bit")
        return socketOf32Bits();
    if (lines.value(0) == "probe leak") {
        volatile char *leaked = new char[64];
        leaked[0] = 0;
        return QStringLiteral("leaked");
    }
    if (lines.size() < 6 || lines[0] != "probe")
        return std::nullopt;
    QStringList reached;
    const int opened = ::open(lines[1].constData(), O_RDONLY | O_CLOEXEC);
    if (opened >= 0) {
        reached << QStringLiteral("the file");
        ::close(opened);
    }
    if (connected(lines[2]))
        reached << QStringLiteral("the socket");
    // Refused before the kernel looks whether standard error is a terminal at all.
    const char typed = ' ';
    if (::ioctl(STDERR_FILENO, TIOCSTI, &typed) == 0 || errno != EPERM)
        reached << QStringLiteral("the terminal");
    if (wroteIn(lines[3]))
        reached << QStringLiteral("a file written");
    reached << changedMetadata(lines[4], file.handle());
    reached << reachedProgram(file.handle());
    reached << reachedSharedMemory(lines[5].toInt());
    if (childMade(::fork()))
        reached << QStringLiteral("a child");
    if (childMade(::syscall(SYS_clone, CLONE_NEWUSER | SIGCHLD, nullptr, nullptr, nullptr, nullptr)))
        reached << QStringLiteral("a user namespace");
    char *const arguments[] = {nullptr};
    if (passed(::execve("/nonexistent/program", arguments, arguments), {ENOENT}))
        reached << QStringLiteral("a program");
    // A harmless call that no decode makes: it only asks.
    if (::personality(0xffffffff) >= 0)
        reached << QStringLiteral("a call no decode makes");
    return reached.isEmpty() ? QStringLiteral("nothing") : reached.join(QLatin1String(", "));
}

} // namespace

int main(int argc, char **argv)
{
    return DecodingProcess::run(argc, argv, probe);
}
