// The tests' build of the decoding process (never installed). It decodes as the installed process does,
// but takes a "picture" that asks what a decoder could do once the process is confined:
//
//   probe
//   <a file to open>
//   <a file beside the fonts folder of a data folder>
//   <a listening socket to connect to>
//   <a folder to make a file in>
//   <a file to open for writing and to empty, and whose mode, owner, times and attributes to change>
//   <a font to empty>
//   <the id of shared memory (SysV) to attach>
//   <the process's memory limit in bytes>
//
// The answer (a refusal's reason) names what it did of these, or "nothing": opened the file or the one
// beside the fonts, connected the socket, signalled the program, typed into the terminal, made a file,
// opened the file for writing or emptied it, emptied the font, opened the program's memory
// (/proc/<parent>/mem) for writing, changed the file's metadata, reached the program's limits, signals,
// priority, scheduling or processors, made or attached shared memory, made a child or a user namespace,
// ran a program, used a prctl() option no decode uses, made a file in memory or wrote past the memory
// limit into it, grew a canvas the program made, or made a call that no decode makes.
// Other "pictures": "probe 32-bit" makes a socket through the 32-bit calls instead (x86-64); "probe
// leak" leaks memory ("leaked"), which the sanitizer build's leak check is to find when the process
// ends; "probe blank" is a picture of 64 × 36 on a canvas that nothing draws on; "probe home" answers
// with the home the process took; "probe output" makes its standard error non-blocking and writes a
// line on it ("written").
//
//   tapestrel-picture-probe [--landlock-at-most <version>] [--unaddable-rule] --memory … --alarm …
//
// confines the process as a kernel whose Landlock is at most that version would, or with a rule in its
// filter that the library cannot add.

#include "DecodingProcess.h"

#include <QDir>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "KivDesktopBackground/PictureProtocol.h"

namespace Protocol = KivDesktopBackground::PictureProtocol;

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

// Whether an open with `flags` got through (the descriptor is closed again).
bool opened(const QByteArray &path, int flags)
{
    const int descriptor = ::open(path.constData(), flags | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return false;
    ::close(descriptor);
    return true;
}

// Each open that writes, creates or empties a file, or reaches the program's memory (also to read it).
QStringList openedToWrite(const QByteArray &folder, const QByteArray &usersFile, const QByteArray &font)
{
    QStringList reached;
    const QByteArray made = folder + "/made";
    if (opened(made, O_WRONLY | O_CREAT) || opened(made, O_RDONLY | O_CREAT)
        || opened(folder, O_TMPFILE | O_RDWR))
        reached << QStringLiteral("a file made");
    ::unlink(made.constData());
    // openat2() too, whose flags lie where a filter cannot read them.
    open_how how {};
    how.flags = O_WRONLY | O_CLOEXEC;
    const long written = ::syscall(SYS_openat2, AT_FDCWD, usersFile.constData(), &how, sizeof how);
    if (written >= 0)
        ::close(int(written));
    if (written >= 0 || opened(usersFile, O_WRONLY) || opened(usersFile, O_RDWR | O_APPEND))
        reached << QStringLiteral("the file written");
    if (opened(usersFile, O_RDONLY | O_TRUNC))
        reached << QStringLiteral("the file emptied");
    struct stat status
    {
    };
    if (opened(font, O_RDONLY | O_TRUNC) || (::stat(font.constData(), &status) == 0 && status.st_size == 0))
        reached << QStringLiteral("a font emptied");
    // Through open() as well as openat() (which the C library's open() makes).
    const QByteArray memory = "/proc/" + QByteArray::number(::getppid()) + "/mem";
    const long raw = ::syscall(SYS_open, memory.constData(), O_RDWR | O_CLOEXEC, 0);
    if (raw >= 0)
        ::close(int(raw));
    if (raw >= 0 || opened(memory, O_WRONLY) || opened(memory, O_RDONLY | O_TRUNC)
        || opened(memory, O_RDONLY))
        reached << QStringLiteral("the program's memory");
    return reached;
}

// Pages of memory that the process's limit on its address space does not count: a file in memory of
// its own, written past `bound`, or a canvas the program made for it, grown.
QStringList madeMemory(qint64 bound)
{
    QStringList reached;
    const int file = int(::syscall(SYS_memfd_create, "probe", MFD_CLOEXEC));
    if (file >= 0) {
        reached << QStringLiteral("a file in memory");
        const std::vector<char> chunk(1 << 20, 'x');
        qint64 written = 0;
        while (written <= bound && ::write(file, chunk.data(), chunk.size()) == ssize_t(chunk.size()))
            written += qint64(chunk.size());
        if (written > bound)
            reached << QStringLiteral("past the limit");
        ::close(file);
    }
    // Asked for as a decoder's canvas is, and kept.
    Protocol::Answer ask;
    ask.outcome = Protocol::Outcome::canvasWanted;
    ask.canvasBytes = 4096;
    Protocol::CanvasGiven given;
    int canvas[] = {-1};
    if (Protocol::send(STDIN_FILENO, &ask, sizeof ask, {})
        && Protocol::receive(STDIN_FILENO, &given, sizeof given, canvas) == ssize_t(sizeof given)
        && canvas[0] >= 0) {
        ::ftruncate(canvas[0], 1 << 20);
        ::fallocate(canvas[0], 0, 0, 1 << 20);
        ::lseek(canvas[0], 4096, SEEK_SET);
        ::write(canvas[0], "x", 1);
        struct stat status
        {
        };
        if (::fstat(canvas[0], &status) == 0 && status.st_size > 4096)
            reached << QStringLiteral("a canvas grown");
    }
    if (canvas[0] >= 0)
        ::close(canvas[0]);
    return reached;
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

PictureReader::Result answer(const QString &reason)
{
    return {{}, reason};
}

std::optional<PictureReader::Result> probe(QFile &file, const PictureReader::Memory &canvas)
{
    const QList<QByteArray> lines = file.peek(4096).split('\n');
    if (lines.value(0) == "probe 32-bit")
        return answer(socketOf32Bits());
    if (lines.value(0) == "probe leak") {
        volatile char *leaked = new char[64];
        leaked[0] = 0;
        return answer(QStringLiteral("leaked"));
    }
    if (lines.value(0) == "probe blank") {
        uchar *bits = canvas(64 * 36 * 4);
        return bits
            ? PictureReader::Result {QImage(bits, 64, 36, 64 * 4, QImage::Format_ARGB32_Premultiplied),
                                     std::nullopt}
            : answer(QStringLiteral("no canvas"));
    }
    if (lines.value(0) == "probe home")
        return answer(QDir::homePath());
    if (lines.value(0) == "probe output") {
        const int flags = ::fcntl(STDERR_FILENO, F_GETFL);
        ::fcntl(STDERR_FILENO, F_SETFL, flags | O_NONBLOCK);
        const char line[] = "probe: written on standard error\n";
        return answer(::write(STDERR_FILENO, line, sizeof line - 1) > 0 ? QStringLiteral("written")
                                                                        : QStringLiteral("not written"));
    }
    if (lines.size() < 9 || lines[0] != "probe")
        return std::nullopt;
    QStringList reached;
    if (opened(lines[1], O_RDONLY))
        reached << QStringLiteral("the file");
    if (opened(lines[2], O_RDONLY))
        reached << QStringLiteral("the data folder");
    if (connected(lines[3]))
        reached << QStringLiteral("the socket");
    // Refused before the kernel looks whether standard error is a terminal at all.
    const char typed = ' ';
    if (::ioctl(STDERR_FILENO, TIOCSTI, &typed) == 0 || errno != EPERM)
        reached << QStringLiteral("the terminal");
    reached << openedToWrite(lines[4], lines[5], lines[6]);
    reached << changedMetadata(lines[5], file.handle());
    reached << reachedProgram(file.handle());
    reached << reachedSharedMemory(lines[7].toInt());
    if (childMade(::fork()))
        reached << QStringLiteral("a child");
    if (childMade(::syscall(SYS_clone, CLONE_NEWUSER | SIGCHLD, nullptr, nullptr, nullptr, nullptr)))
        reached << QStringLiteral("a user namespace");
    char *const arguments[] = {nullptr};
    if (passed(::execve("/nonexistent/program", arguments, arguments), {ENOENT}))
        reached << QStringLiteral("a program");
    // Harmless calls that no decode makes: they only ask.
    if (::prctl(PR_GET_KEEPCAPS, 0, 0, 0, 0) >= 0)
        reached << QStringLiteral("a prctl() option");
    reached << madeMemory(lines[8].toLongLong());
    if (::personality(0xffffffff) >= 0)
        reached << QStringLiteral("a call no decode makes");
    return answer(reached.isEmpty() ? QStringLiteral("nothing") : reached.join(QLatin1String(", ")));
}

} // namespace

int main(int argc, char **argv)
{
    DecodingProcess::Probing probing;
    probing.look = probe;
    // Its own switches, before the process's.
    std::vector<char *> arguments {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--landlock-at-most") == 0 && i + 1 < argc)
            probing.landlockVersionAtMost = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--unaddable-rule") == 0)
            probing.unaddableRule = true;
        else
            arguments.push_back(argv[i]);
    }
    arguments.push_back(nullptr);
    return DecodingProcess::run(int(arguments.size()) - 1, arguments.data(), probing);
}
