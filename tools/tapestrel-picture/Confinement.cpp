#include "Confinement.h"

#include "KivDesktopBackground/PictureProtocol.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Protocol = KivDesktopBackground::PictureProtocol;

namespace {

// Landlock's interface as the kernel defines it (the system's headers may predate what the running
// kernel offers): each version (ABI) handles more.
struct RulesetAttributes
{
    quint64 handledAccessFs = 0;
    quint64 handledAccessNet = 0; // from version 4
    quint64 scoped = 0; // from version 6
};

struct PathBeneath
{
    quint64 allowedAccess = 0;
    qint32 parentFd = -1;
} __attribute__((packed));

constexpr unsigned createRulesetVersion = 1;
constexpr int rulePathBeneath = 1;
constexpr quint64 readFile = 1 << 2;
constexpr quint64 readDirectory = 1 << 3;
constexpr quint64 bindTcp = 1 << 0;
constexpr quint64 connectTcp = 1 << 1;
constexpr quint64 scopeAbstractUnixSocket = 1 << 0;
constexpr quint64 scopeSignal = 1 << 1;

// Every file right the version knows: execute … make symlink (1), refer (2), truncate (3), ioctl on
// devices (5).
quint64 fileRights(int abi)
{
    const int rights = abi >= 5 ? 16 : abi >= 3 ? 15 : abi >= 2 ? 14 : 13;
    return (quint64(1) << rights) - 1;
}

int landlockVersion()
{
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, createRulesetVersion);
    return abi < 0 ? 0 : int(abi);
}

// Refuses the process every file right that Landlock `abi` knows but reading below `readable`; false
// when the kernel has no Landlock.
bool restrictFiles(const QStringList &readable, int abi)
{
    if (abi < 1)
        return false;
    RulesetAttributes attributes;
    attributes.handledAccessFs = fileRights(abi);
    size_t size = offsetof(RulesetAttributes, handledAccessNet);
    if (abi >= 4) {
        attributes.handledAccessNet = bindTcp | connectTcp;
        size = offsetof(RulesetAttributes, scoped);
    }
    if (abi >= 6) {
        attributes.scoped = scopeAbstractUnixSocket | scopeSignal;
        size = sizeof attributes;
    }
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
    if (ruleset < 0)
        return false;
    for (const QString &path : readable) {
        PathBeneath rule;
        rule.parentFd = ::open(QFile::encodeName(path).constData(), O_PATH | O_CLOEXEC);
        struct stat status
        {
        };
        // What is not there is read by nobody.
        if (rule.parentFd < 0)
            continue;
        if (::fstat(rule.parentFd, &status) == 0) {
            rule.allowedAccess = S_ISDIR(status.st_mode) ? readFile | readDirectory : readFile;
            ::syscall(SYS_landlock_add_rule, ruleset, rulePathBeneath, &rule, 0);
        }
        ::close(rule.parentFd);
    }
    const bool restricted = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return restricted;
}

// The calls a decode makes once the process is confined: Qt's image plugins and SVG renderer, the
// allocator, threads of the process's own, reading the files it holds or may open (Landlock decides
// which), the socket it was given and the canvases it is lent. Every other call fails; those that
// open a file, name a process, take a thread's flags or a request are allowed only as `conditional`
// says.
constexpr int allowedCalls[] = {
    // Memory.
    SCMP_SYS(brk),
    SCMP_SYS(mmap),
    SCMP_SYS(munmap),
    SCMP_SYS(mremap),
    SCMP_SYS(mprotect),
    SCMP_SYS(madvise),
    SCMP_SYS(membarrier),
    // Files it holds or opens for reading, and its canvases. Nothing it writes with write() and its
    // kind lands in a file (DecodingProcess limits the size of what it writes to 0): they serve its
    // standard error, the socket and its own pipes.
    SCMP_SYS(close),
    SCMP_SYS(read),
    SCMP_SYS(pread64),
    SCMP_SYS(readv),
    SCMP_SYS(write),
    SCMP_SYS(writev),
    SCMP_SYS(lseek),
    SCMP_SYS(fstat),
    SCMP_SYS(newfstatat),
    SCMP_SYS(stat),
    SCMP_SYS(lstat),
    SCMP_SYS(statx),
    SCMP_SYS(fstatfs),
    SCMP_SYS(access),
    SCMP_SYS(faccessat),
    SCMP_SYS(faccessat2),
    SCMP_SYS(readlink),
    SCMP_SYS(readlinkat),
    SCMP_SYS(getdents64),
    SCMP_SYS(fadvise64),
    SCMP_SYS(pipe2),
    SCMP_SYS(eventfd2),
    // The socket it was given.
    SCMP_SYS(sendmsg),
    SCMP_SYS(recvmsg),
    SCMP_SYS(sendto),
    SCMP_SYS(recvfrom),
    SCMP_SYS(poll),
    SCMP_SYS(ppoll),
    // Threads, their waits and the time.
    SCMP_SYS(futex),
    SCMP_SYS(set_robust_list),
    SCMP_SYS(rseq),
    SCMP_SYS(sched_yield),
    SCMP_SYS(clock_gettime),
    SCMP_SYS(clock_getres),
    SCMP_SYS(gettimeofday),
    SCMP_SYS(clock_nanosleep),
    SCMP_SYS(nanosleep),
    SCMP_SYS(getpid),
    SCMP_SYS(gettid),
    SCMP_SYS(getppid),
    SCMP_SYS(getuid),
    SCMP_SYS(geteuid),
    SCMP_SYS(getgid),
    SCMP_SYS(getegid),
    SCMP_SYS(getrandom),
    SCMP_SYS(uname),
    SCMP_SYS(sysinfo),
    SCMP_SYS(alarm),
    // Which processors a thread may run on, which the C library asks of each thread by its own id: it
    // changes nothing.
    SCMP_SYS(sched_getaffinity),
    // Signals of its own.
    SCMP_SYS(rt_sigaction),
    SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(rt_sigreturn),
    SCMP_SYS(sigaltstack),
    SCMP_SYS(restart_syscall),
    SCMP_SYS(exit),
    SCMP_SYS(exit_group),
#ifdef TAPESTREL_SANITIZE
    // The leak checker stops the process's threads from a helper of its own and reads their registers.
    SCMP_SYS(ptrace),
    SCMP_SYS(wait4),
    SCMP_SYS(getdents),
#endif
};

// Calls that fail as on a kernel without them: callers then use the older call, whose arguments a filter
// can read (the flags of openat2() and clone3() lie in memory, where no filter reads).
constexpr int missingCalls[] = {SCMP_SYS(openat2), SCMP_SYS(clone3)};

// The flags that would open a file for writing, create one or empty it.
constexpr scmp_datum_t writingFlags = O_ACCMODE | O_CREAT | O_TRUNC | (O_TMPFILE & ~O_DIRECTORY);
// A thread of the process's own: the same memory, signals and files, no namespace. Anything else
// (fork, vfork, a process in a new namespace) fails.
constexpr scmp_datum_t threadFlags = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD;
constexpr scmp_datum_t refusedCloneFlags = CLONE_NEWNS | CLONE_NEWCGROUP | CLONE_NEWUTS | CLONE_NEWIPC
    | CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET | CLONE_PARENT | CLONE_PTRACE | CLONE_VFORK
    | CLONE_UNTRACED;
#ifdef TAPESTREL_SANITIZE
// The leak checker's helper, which stops the process's threads while it looks at their memory.
constexpr scmp_datum_t leakCheckerFlags = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_UNTRACED;
#endif

// The whole argument, compared.
constexpr scmp_datum_t whole = ~scmp_datum_t(0);
// In `values`: the process's own id.
constexpr scmp_datum_t self = ~scmp_datum_t(0);
// A call allowed only where its argument `argument`, masked with `mask`, is one of `values`.
struct Conditional
{
    int call;
    unsigned argument;
    scmp_datum_t mask;
    std::initializer_list<scmp_datum_t> values;
};

// clang-format off
const Conditional conditional[] = {
    // call                        argument  mask           allowed values
    // Opens for reading alone.
    {SCMP_SYS(open),               1,        writingFlags,  {0}},
    {SCMP_SYS(openat),             2,        writingFlags,  {0}},
    // Calls that name a process, a thread group or a process group: the process's own only, or 0 where
    // the kernel takes it for the caller.
    {SCMP_SYS(kill),               0,        whole,         {self}},
    {SCMP_SYS(tgkill),             0,        whole,         {self}},
    {SCMP_SYS(tkill),              0,        whole,         {self}},
    {SCMP_SYS(rt_sigqueueinfo),    0,        whole,         {self}},
    {SCMP_SYS(rt_tgsigqueueinfo),  0,        whole,         {self}},
    {SCMP_SYS(prlimit64),          0,        whole,         {0, self}},
    // Threads of its own.
    {SCMP_SYS(clone),              0,        threadFlags | refusedCloneFlags,
                                                            {threadFlags}},
#ifdef TAPESTREL_SANITIZE
    {SCMP_SYS(clone),              0,        ~scmp_datum_t(CSIGNAL), {leakCheckerFlags}},
#endif
    // Whether a descriptor is a terminal, and the descriptors' own requests. Typing into the terminal
    // that the process's standard error may lead to would run commands in the shell behind it.
    {SCMP_SYS(ioctl),              1,        whole,         {TCGETS, FIONREAD, FIONBIO, FIOCLEX}},
    // A descriptor's flags. A descriptor's owner (F_SETOWN) would have the kernel signal whichever
    // process it names.
    {SCMP_SYS(fcntl),              1,        whole,         {F_GETFD, F_SETFD, F_GETFL, F_SETFL,
                                                             F_DUPFD_CLOEXEC}},
    // Naming its threads, and asking what it is.
    {SCMP_SYS(prctl),              0,        whole,         {PR_SET_NAME, PR_GET_NAME, PR_GET_DUMPABLE}},
#ifdef TAPESTREL_SANITIZE
    {SCMP_SYS(prctl),              0,        whole,         {PR_SET_PTRACER, PR_SET_PDEATHSIG,
                                                             PR_SET_DUMPABLE}},
#endif
};
// clang-format on

// Says on standard error (which the program passes on) that the filter lacks the rule for `call`: that
// call stays refused, and a decoder that needs it fails.
void tellUnaddable(int call, int error)
{
    char *name = seccomp_syscall_resolve_num_arch(SCMP_ARCH_NATIVE, call);
    std::fprintf(stderr, "tapestrel-picture: the system-call filter lacks a rule for %s (%s)\n",
                 name ? name : std::to_string(call).c_str(), std::strerror(-error));
    std::free(name);
}

// Installs the filter; false when the kernel has none.
bool filterCalls(bool unaddableRule)
{
    const scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!filter)
        return false;
    const bool set =
        // A call of another architecture (32-bit calls on a 64-bit system, x32) ends the process: its
        // numbers mean other calls.
        seccomp_attr_set(filter, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS) == 0
        // Every thread there is, should a library have started one already.
        && seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1) == 0
        // no_new_privs is set (and told) on its own.
        && seccomp_attr_set(filter, SCMP_FLTATR_CTL_NNP, 0) == 0;
    // The kernel looks a call up in a tree rather than along the list (where the library can build one).
    seccomp_attr_set(filter, SCMP_FLTATR_CTL_OPTIMIZE, 2);
    // A call this architecture lacks is no rule at all (the library adds nothing, and says so with 0).
    const auto add = [filter](uint32_t action, int call, std::initializer_list<scmp_arg_cmp> arguments) {
        const int added =
            seccomp_rule_add_array(filter, action, call, unsigned(arguments.size()), std::data(arguments));
        if (added < 0)
            tellUnaddable(call, added);
    };
    for (const int call : allowedCalls)
        add(SCMP_ACT_ALLOW, call, {});
    for (const int call : missingCalls)
        add(SCMP_ACT_ERRNO(ENOSYS), call, {});
    const auto ownId = scmp_datum_t(::getpid());
    for (const Conditional &rule : conditional) {
        for (const scmp_datum_t value : rule.values) {
            const scmp_datum_t compared = value == self ? ownId : value;
            add(SCMP_ACT_ALLOW, rule.call,
                {rule.mask == whole ? scmp_arg_cmp {rule.argument, SCMP_CMP_EQ, compared, 0}
                                    : scmp_arg_cmp {rule.argument, SCMP_CMP_MASKED_EQ, rule.mask, compared}});
        }
    }
    // Only the tests' build of the process asks for it: a call has no seventh argument.
    if (unaddableRule)
        add(SCMP_ACT_ALLOW, SCMP_SYS(uname), {scmp_arg_cmp {6, SCMP_CMP_EQ, 0, 0}});
    const bool loaded = set && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return loaded;
}

// Moves the process into a user namespace of its own, as the same user and group. The kernel lets a
// process into another's memory (/proc/<pid>/mem, process_vm_readv(), ptrace()) only from the other's
// user namespace or with a capability over it: from its own namespace the process reaches no other
// process's memory, whatever Landlock and Yama offer. False where the kernel refuses a namespace (a
// process with threads, a kernel built or set without them for users).
bool enterOwnUserNamespace()
{
    const uid_t user = ::getuid();
    const gid_t group = ::getgid();
    if (::unshare(CLONE_NEWUSER) != 0)
        return false;
    // Without the maps the process would see every file's owner, and itself, as nobody. A user without
    // privileges may map only itself, and its group only once it gives up changing its groups.
    const auto write = [](const char *path, const std::string &text) {
        const int file = ::open(path, O_WRONLY | O_CLOEXEC);
        if (file < 0)
            return;
        [[maybe_unused]] const ssize_t written = ::write(file, text.data(), text.size());
        ::close(file);
    };
    write("/proc/self/setgroups", "deny");
    write("/proc/self/uid_map", std::to_string(user) + ' ' + std::to_string(user) + " 1");
    write("/proc/self/gid_map", std::to_string(group) + ' ' + std::to_string(group) + " 1");
    return true;
}

// Drops every capability the process holds (a program run as root holds them all): from its
// bounding set, so that nothing it runs regains one, and from its ambient, effective, permitted and
// inheritable sets.
void dropCapabilities()
{
    for (int capability = 0; ::prctl(PR_CAPBSET_READ, capability, 0, 0, 0) >= 0; ++capability)
        ::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] {};
    ::syscall(SYS_capset, &header, none);
}

} // namespace

namespace Confinement {

quint32 confine(const QStringList &readable, int landlockVersionAtMost, bool unaddableRule)
{
    // First: the namespace gives the process every capability within it, which it then drops, whatever
    // else the kernel refuses.
    quint32 unconfined = enterOwnUserNamespace() ? 0 : Protocol::Unconfined::userNamespace;
    const bool noNewPrivileges = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
    dropCapabilities();
    // Without it neither Landlock nor seccomp may be set by a process without privileges.
    if (!noNewPrivileges)
        return unconfined | Protocol::Unconfined::noNewPrivileges | Protocol::Unconfined::landlock
            | Protocol::Unconfined::seccomp;
    if (!restrictFiles(readable, std::min(landlockVersion(), landlockVersionAtMost)))
        unconfined |= Protocol::Unconfined::landlock;
    if (!filterCalls(unaddableRule))
        unconfined |= Protocol::Unconfined::seccomp;
    return unconfined;
}

QStringList decodersFolders()
{
    // The user's own fonts, where the font configuration looks for them, and its cache of what they
    // hold: without it each process would read every font anew.
    const QString home = QDir::homePath();
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    const QString cacheHome = qEnvironmentVariable("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    QStringList dataFolders {dataHome};
    dataFolders << qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"))
                       .split(u':', Qt::SkipEmptyParts);
    QStringList usersFolders {home + QStringLiteral("/.local/share/fonts"), home + QStringLiteral("/.fonts"),
                              cacheHome + QStringLiteral("/fontconfig"),
                              home + QStringLiteral("/.fontconfig")};
    for (const QString &folder : std::as_const(dataFolders))
        usersFolders << folder + QStringLiteral("/fonts");
    QStringList folders {QLibraryInfo::path(QLibraryInfo::PluginsPath),
                         QLibraryInfo::path(QLibraryInfo::LibrariesPath),
                         QStringLiteral("/usr/lib"),
                         QStringLiteral("/usr/lib64"),
                         QStringLiteral("/lib"),
                         QStringLiteral("/lib64"),
                         QStringLiteral("/etc/ld.so.cache"),
                         QStringLiteral("/etc/fonts"),
                         QStringLiteral("/usr/share/fonts"),
                         QStringLiteral("/usr/share/fontconfig"),
                         QStringLiteral("/usr/local/share/fonts"),
                         QStringLiteral("/var/cache/fontconfig")};
    // A relative folder would be taken from wherever the process happens to run.
    for (const QString &folder : std::as_const(usersFolders)) {
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    }
#ifdef TAPESTREL_SANITIZE
    // A sanitizer's report and its leak checker read the process's maps and threads.
    folders << QStringLiteral("/proc");
#endif
    return folders;
}

} // namespace Confinement
