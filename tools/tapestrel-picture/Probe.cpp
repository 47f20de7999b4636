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
//   <a file in the user's font cache, which it is to read>
//
// The answer (a refusal's reason) names each thing it reached, as the notes below word them, or
// "nothing": besides those files, the program's memory, signals and settings, shared memory, children,
// namespaces and programs, options and calls no decode uses, memory its limit does not count (pipes
// among it), a limit of its own raised.
// Other "pictures": "probe 32-bit" makes a socket through the 32-bit calls instead (x86-64); "probe
// leak" leaks memory ("leaked"), which the sanitizer build's leak check is to find when the process
// ends; "probe blank" is a picture of 64 × 36 on a canvas that nothing draws on; "probe home" answers
// with the home the process took; "probe output" makes its standard error non-blocking and writes a
// line on it ("written"); "probe allocations" answers "cleared" where every way of allocating gives
// memory that holds nothing of an earlier allocation, else names the ways that do not.
//
//   tapestrel-picture-probe [--landlock-at-most <version>] [--unaddable-rule] --memory … --alarm …
//
// confines the process as a kernel whose Landlock is at most that version would, or with a rule in its
// filter that the library cannot add.

#include "DecodingProcess.h"

#include <QDir>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <linux/openat2.h>
#include <malloc.h>
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

// What the probe reached, in the order it tried.
class Reached
{
public:
    void operator()(bool happened, const char *what)
    {
        if (happened)
            m_what << QString::fromLatin1(what);
    }
    QString said() const
    {
        return m_what.isEmpty() ? QStringLiteral("nothing") : m_what.join(QLatin1String(", "));
    }

private:
    QStringList m_what;
};

// Whether the kernel let the call through, when it is not refused for reasons of its own (a file
// system without attributes, a path that is not there).
bool passed(int result, int otherwiseFailing)
{
    return result >= 0 || errno == otherwiseFailing;
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

// Whether an open with `flags` got through (the descriptor is closed again); `raw`: through open()
// itself rather than the openat() that the C library's open() makes.
bool opened(const QByteArray &path, int flags, bool raw = false)
{
    const long descriptor = raw ? ::syscall(SYS_open, path.constData(), flags | O_CLOEXEC, 0644)
                                : ::open(path.constData(), flags | O_CLOEXEC, 0644);
    if (descriptor >= 0)
        ::close(int(descriptor));
    return descriptor >= 0;
}

// Each open that writes, creates or empties a file, or reaches the program's memory (also to read it).
void openedToWrite(Reached &note, const QByteArray &folder, const QByteArray &usersFile,
                   const QByteArray &font)
{
    const QByteArray made = folder + "/made";
    note(opened(made, O_WRONLY | O_CREAT) || opened(made, O_RDONLY | O_CREAT)
             || opened(folder, O_TMPFILE | O_RDWR),
         "a file made");
    ::unlink(made.constData());
    // openat2() too, whose flags lie where a filter cannot read them.
    open_how how {};
    how.flags = O_WRONLY | O_CLOEXEC;
    const long written = ::syscall(SYS_openat2, AT_FDCWD, usersFile.constData(), &how, sizeof how);
    if (written >= 0)
        ::close(int(written));
    note(written >= 0 || opened(usersFile, O_WRONLY) || opened(usersFile, O_RDWR | O_APPEND),
         "the file written");
    note(opened(usersFile, O_RDONLY | O_TRUNC), "the file emptied");
    struct stat status = {};
    note(opened(font, O_RDONLY | O_TRUNC) || (::stat(font.constData(), &status) == 0 && status.st_size == 0),
         "a font emptied");
    const QByteArray memory = "/proc/" + QByteArray::number(::getppid()) + "/mem";
    note(opened(memory, O_RDWR, true) || opened(memory, O_WRONLY) || opened(memory, O_RDONLY | O_TRUNC),
         "the program's memory written");
    note(opened(memory, O_RDONLY), "the program's memory");
}

// Pages of memory that the process's limit on its address space does not count: a file in memory of
// its own, written past `bound`, or a canvas the program made for it, grown.
void madeMemory(Reached &note, qint64 bound)
{
    const int file = int(::syscall(SYS_memfd_create, "probe", MFD_CLOEXEC));
    note(file >= 0, "a file in memory");
    if (file >= 0) {
        const std::vector<char> chunk(1 << 20, 'x');
        qint64 written = 0;
        while (written <= bound && ::write(file, chunk.data(), chunk.size()) == ssize_t(chunk.size()))
            written += qint64(chunk.size());
        note(written > bound, "past the limit");
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
        struct stat status = {};
        note(::fstat(canvas[0], &status) == 0 && status.st_size > 4096, "a canvas grown");
    }
    if (canvas[0] >= 0)
        ::close(canvas[0]);
}

// Pages that the kernel keeps for the process outside its address space: pipes made and filled, each
// made as large as it may be, until no more can be made.
void filledPipes(Reached &note)
{
    const std::vector<char> chunk(1 << 16, 'x');
    std::vector<int> kept;
    qint64 held = 0;
    for (int ends[2]; ::pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0;) {
        ::fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);
        for (ssize_t written; (written = ::write(ends[1], chunk.data(), chunk.size())) > 0;)
            held += written;
        // What is written stays while the other end is open.
        ::close(ends[1]);
        kept.push_back(ends[0]);
    }
    for (const int end : kept)
        ::close(end);
    note(held > qint64(4) << 20, "pipes holding more than 4 MiB");
}

// Whether it could raise a limit of its own (each put back).
void raisedLimits(Reached &note)
{
    bool raised = false;
    for (int resource = 0; resource < RLIM_NLIMITS; ++resource) {
        const auto which = __rlimit_resource(resource);
        rlimit now {};
        if (::getrlimit(which, &now) != 0 || now.rlim_cur == RLIM_INFINITY)
            continue;
        const rlimit more {now.rlim_cur + 1, std::max(now.rlim_max, now.rlim_cur + 1)};
        if (::setrlimit(which, &more) == 0) {
            raised = true;
            ::setrlimit(which, &now);
        }
    }
    note(raised, "a limit raised");
}

// Each change leaves the file as it was.
void changedMetadata(Reached &note, const QByteArray &path, int descriptor)
{
    struct stat status = {};
    ::stat(path.constData(), &status);
    note(::chmod(path.constData(), status.st_mode & 07777) == 0
             || ::fchmod(descriptor, status.st_mode & 07777) == 0,
         "its mode");
    note(::chown(path.constData(), status.st_uid, status.st_gid) == 0
             || ::fchown(descriptor, status.st_uid, status.st_gid) == 0,
         "its owner");
    const timespec times[] = {status.st_atim, status.st_mtim};
    note(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0 || ::futimens(descriptor, times) == 0,
         "its times");
    note(passed(::setxattr(path.constData(), "user.probe", "1", 1, 0), ENOTSUP)
             || passed(::fsetxattr(descriptor, "user.probe", "1", 1, 0), ENOTSUP),
         "its attributes");
    ::removexattr(path.constData(), "user.probe");
}

// What of the program (the parent) a call reached, each set to what it was; `descriptor` is one the
// process holds.
void reachedProgram(Reached &note, int descriptor)
{
    const pid_t program = ::getppid();
    note(::kill(program, 0) == 0, "the program");
    // Its process group is the program's: where a call lets 0 through, it signals the program too.
    note(::kill(0, 0) == 0, "the program's process group");
    // The kernel would signal the program as the descriptor is ready.
    const bool owned = ::fcntl(descriptor, F_SETOWN, program) == 0;
    note(owned, "the program's signals");
    if (owned)
        ::fcntl(descriptor, F_SETOWN, 0);
    rlimit limit {};
    note(::prlimit(program, RLIMIT_NOFILE, nullptr, &limit) == 0, "the program's limits");
    errno = 0;
    const int priority = ::getpriority(PRIO_PROCESS, id_t(program));
    note(::setpriority(PRIO_PROCESS, id_t(program), errno == 0 ? priority : 0) == 0,
         "the program's priority");
    const sched_param parameters {};
    note(::sched_setscheduler(program, SCHED_OTHER, &parameters) == 0, "the program's scheduling");
    cpu_set_t processors;
    CPU_ZERO(&processors);
    note(::sched_getaffinity(0, sizeof processors, &processors) == 0
             && ::sched_setaffinity(program, sizeof processors, &processors) == 0,
         "the program's processors");
}

void reachedSharedMemory(Reached &note, int id)
{
    const int made = ::shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600);
    note(made >= 0, "new shared memory");
    if (made >= 0)
        ::shmctl(made, IPC_RMID, nullptr);
    void *attached = ::shmat(id, nullptr, SHM_RDONLY);
    note(attached != reinterpret_cast<void *>(-1), "the shared memory");
    if (attached != reinterpret_cast<void *>(-1))
        ::shmdt(attached);
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

// "cleared" where every way of allocating gives memory that holds nothing of what an earlier allocation
// wrote there (most often the same memory, given again), and a block grown where it stood holds nothing
// of what it held before it shrank; else the ways that kept something.
QString allocationsKept()
{
    const auto used = [](void *block, size_t bytes) {
        std::memset(block, 0xa5, bytes);
        // Written for all the compiler knows, freed or not.
        asm volatile("" : : "r"(block) : "memory");
    };
    const auto clear = [](const void *block, size_t from, size_t to) {
        const auto *bytes = static_cast<const uchar *>(block);
        return std::all_of(bytes + from, bytes + to, [](uchar byte) { return byte == 0; });
    };
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const std::pair<const char *, std::function<void *(size_t)>> ways[] = {
        {"malloc",
         [](size_t bytes) {
             return ::malloc(bytes);
         }},
        {"calloc",
         [](size_t bytes) {
             return ::calloc(1, bytes);
         }},
        {"realloc",
         [](size_t bytes) {
             return ::realloc(nullptr, bytes);
         }},
        {"reallocarray",
         [](size_t bytes) {
             return ::reallocarray(nullptr, bytes, 1);
         }},
        {"memalign",
         [](size_t bytes) {
             return ::memalign(64, bytes);
         }},
        {"aligned_alloc",
         [](size_t bytes) {
             return ::aligned_alloc(64, bytes);
         }},
        {"posix_memalign",
         [](size_t bytes) {
             void *block = nullptr;
             return ::posix_memalign(&block, 64, bytes) == 0 ? block : nullptr;
         }},
        {"valloc",
         [](size_t bytes) {
             return ::valloc(bytes);
         }},
        {"pvalloc",
         [](size_t bytes) {
             return ::pvalloc(bytes);
         }},
    };
    QStringList kept;
    for (const auto &[name, allocate] : ways) {
        // Sizes of whole alignments, as aligned_alloc() takes them.
        for (const size_t bytes : {size_t(64), 3 * page / 2}) {
            // All of the block the allocator gives, past the size asked for too.
            void *first = allocate(bytes);
            used(first, ::malloc_usable_size(first));
            ::free(first);
            void *again = allocate(bytes);
            if (!again || !clear(again, 0, ::malloc_usable_size(again)))
                kept << QString::fromLatin1(name);
            ::free(again);
        }
    }
    // Shrunk a little it stays where it is, and grows there again.
    for (const size_t bytes : {size_t(64), size_t(1000), 3 * page / 2}) {
        for (const size_t by : {size_t(8), size_t(24), bytes / 2}) {
            void *block = ::malloc(bytes);
            used(block, bytes);
            block = ::realloc(block, bytes - by);
            block = ::realloc(block, bytes);
            if (!block || !clear(block, bytes - by, bytes))
                kept << QStringLiteral("realloc grown");
            ::free(block);
        }
    }
    kept.removeDuplicates();
    return kept.isEmpty() ? QStringLiteral("cleared") : kept.join(QLatin1String(", "));
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
    if (lines.value(0) == "probe allocations")
        return answer(allocationsKept());
    if (lines.size() < 10 || lines[0] != "probe")
        return std::nullopt;
    Reached note;
    note(opened(lines[1], O_RDONLY), "the file");
    note(opened(lines[2], O_RDONLY), "the data folder");
    note(!opened(lines[9], O_RDONLY), "no font cache");
    note(connected(lines[3]), "the socket");
    // Refused before the kernel looks whether standard error is a terminal at all.
    const char typed = ' ';
    note(::ioctl(STDERR_FILENO, TIOCSTI, &typed) == 0 || errno != EPERM, "the terminal");
    openedToWrite(note, lines[4], lines[5], lines[6]);
    changedMetadata(note, lines[5], file.handle());
    reachedProgram(note, file.handle());
    reachedSharedMemory(note, lines[7].toInt());
    note(childMade(::fork()), "a child");
    note(childMade(::syscall(SYS_clone, CLONE_NEWUSER | SIGCHLD, nullptr, nullptr, nullptr, nullptr)),
         "a user namespace");
    char *const arguments[] = {nullptr};
    note(passed(::execve("/nonexistent/program", arguments, arguments), ENOENT), "a program");
    // Harmless calls that no decode makes: they only ask.
    note(::prctl(PR_GET_KEEPCAPS, 0, 0, 0, 0) >= 0, "a prctl() option");
    madeMemory(note, lines[8].toLongLong());
    filledPipes(note);
    raisedLimits(note);
    note(::personality(0xffffffff) >= 0, "a call no decode makes");
    return answer(note.said());
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
