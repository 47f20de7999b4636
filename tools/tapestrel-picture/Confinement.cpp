#include "Confinement.h"

#include "KivDesktopBackground/PictureProtocol.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>

#include <cerrno>
#include <cstddef>
#include <vector>

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
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

// Refuses the process every file right the kernel knows but reading below `readable`; false when the
// kernel has no Landlock.
bool restrictFiles(const QStringList &readable)
{
    const int abi = landlockVersion();
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

#if defined(__x86_64__)
constexpr quint32 architecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr quint32 architecture = AUDIT_ARCH_AARCH64;
#else
constexpr quint32 architecture = 0;
#endif

// The calls refused: sockets and connections, running programs, reaching other processes, and the
// kernel's other ways around the filters (io_uring opens and connects without these calls; a
// handle opens a file without a path).
constexpr int refusedCalls[] = {
    __NR_socket, __NR_socketpair, __NR_connect, __NR_bind, __NR_listen, __NR_accept, __NR_accept4,
    __NR_execve, __NR_execveat,
#ifndef TAPESTREL_SANITIZE
    // The leak checker stops the process's threads this way at its end.
    __NR_ptrace,
#endif
    __NR_process_vm_readv, __NR_process_vm_writev, __NR_kcmp, __NR_pidfd_open, __NR_pidfd_getfd,
    __NR_pidfd_send_signal, __NR_tkill, __NR_io_uring_setup, __NR_io_uring_enter, __NR_io_uring_register,
    __NR_open_by_handle_at, __NR_name_to_handle_at, __NR_bpf, __NR_perf_event_open, __NR_userfaultfd,
    __NR_keyctl, __NR_add_key, __NR_request_key, __NR_mount, __NR_umount2, __NR_pivot_root, __NR_chroot,
    __NR_unshare, __NR_setns, __NR_fanotify_init, __NR_open_tree, __NR_move_mount, __NR_fsopen, __NR_fsmount,
    __NR_fspick, __NR_mount_setattr, __NR_kexec_load, __NR_init_module, __NR_finit_module,
    __NR_delete_module};

// Calls that signal the process named by their first argument: only the process itself.
constexpr int signallingCalls[] = {__NR_kill, __NR_tgkill, __NR_rt_sigqueueinfo, __NR_rt_tgsigqueueinfo};

// Installs the filter; false when the kernel (or this build's architecture) has none.
bool filterCalls()
{
    if (architecture == 0)
        return false;
    constexpr quint32 refuse = SECCOMP_RET_ERRNO | EPERM;
    std::vector<sock_filter> program;
    const auto statement = [&program](quint16 code, quint32 value) {
        program.push_back(BPF_STMT(code, value));
    };
    const auto jump = [&program](quint16 code, quint32 value, quint8 ifTrue, quint8 ifFalse) {
        program.push_back(BPF_JUMP(code, value, ifTrue, ifFalse));
    };
    // A call of another architecture (32-bit calls on a 64-bit system) ends the process: its numbers
    // mean other calls.
    statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch));
    jump(BPF_JMP | BPF_JEQ | BPF_K, architecture, 1, 0);
    statement(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS);
    statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr));
#if defined(__x86_64__)
    // The x32 calls: the same calls under other numbers.
    jump(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, 0, 1);
    statement(BPF_RET | BPF_K, refuse);
#endif
    for (const int call : refusedCalls) {
        jump(BPF_JMP | BPF_JEQ | BPF_K, quint32(call), 0, 1);
        statement(BPF_RET | BPF_K, refuse);
    }
    // An argument's lower 32 bits, all that the kernel reads of a process id or a request.
    const quint32 lowerHalf = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? 0 : sizeof(quint32);
    const quint32 firstArgument = offsetof(seccomp_data, args[0]) + lowerHalf;
    const quint32 secondArgument = offsetof(seccomp_data, args[1]) + lowerHalf;
    for (const int call : signallingCalls) {
        jump(BPF_JMP | BPF_JEQ | BPF_K, quint32(call), 0, 4);
        statement(BPF_LD | BPF_W | BPF_ABS, firstArgument);
        jump(BPF_JMP | BPF_JEQ | BPF_K, quint32(::getpid()), 0, 1);
        statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
        statement(BPF_RET | BPF_K, refuse);
    }
    // Typing into the terminal the process's standard error may be (the program's, when it was started
    // from one) would run commands in the shell behind it.
    jump(BPF_JMP | BPF_JEQ | BPF_K, __NR_ioctl, 0, 5);
    statement(BPF_LD | BPF_W | BPF_ABS, secondArgument);
    jump(BPF_JMP | BPF_JEQ | BPF_K, TIOCSTI, 2, 0);
    jump(BPF_JMP | BPF_JEQ | BPF_K, TIOCLINUX, 1, 0);
    statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    statement(BPF_RET | BPF_K, refuse);
    statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    const sock_fprog filter {quint16(program.size()), program.data()};
    return ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &filter) == 0;
}

} // namespace

namespace Confinement {

quint32 confine(const QStringList &readable)
{
    // Without it neither Landlock nor seccomp may be set by a process without privileges.
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return Protocol::Unconfined::noNewPrivileges | Protocol::Unconfined::landlock
            | Protocol::Unconfined::seccomp;
    quint32 unconfined = 0;
    if (!restrictFiles(readable))
        unconfined |= Protocol::Unconfined::landlock;
    if (!filterCalls())
        unconfined |= Protocol::Unconfined::seccomp;
    return unconfined;
}

QStringList decodersFolders()
{
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
#ifdef TAPESTREL_SANITIZE
    // A sanitizer's report and its leak checker read the process's maps and threads.
    folders << QStringLiteral("/proc");
#endif
    return folders;
}

} // namespace Confinement
