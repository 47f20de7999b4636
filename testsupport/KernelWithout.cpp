// Runs a program on what looks to it like a kernel without Landlock, without seccomp filters, without
// no_new_privs or without user namespaces for users, as older or differently built kernels are: their
// calls fail with ENOSYS (no_new_privs: its prctl() option fails with EINVAL; a user namespace: with
// EPERM).
//
//     kernel-without landlock|seccomp|no_new_privs|user_namespaces <program> [arguments…]

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    std::vector<unsigned> missing;
    const bool withoutNoNewPrivileges = std::strcmp(argv[1], "no_new_privs") == 0;
    const bool withoutUserNamespaces = std::strcmp(argv[1], "user_namespaces") == 0;
    if (std::strcmp(argv[1], "landlock") == 0)
        missing = {__NR_landlock_create_ruleset, __NR_landlock_add_rule, __NR_landlock_restrict_self};
    else if (std::strcmp(argv[1], "seccomp") == 0)
        missing = {__NR_seccomp};
    else if (!withoutNoNewPrivileges && !withoutUserNamespaces)
        return 2;
    std::vector<sock_filter> program {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (const unsigned call : missing) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, call, 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS));
    }
    if (withoutNoNewPrivileges) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_prctl, 0, 3));
        program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])));
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, PR_SET_NO_NEW_PRIVS, 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL));
    }
    if (withoutUserNamespaces) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_unshare, 0, 3));
        program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])));
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, CLONE_NEWUSER, 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter {static_cast<unsigned short>(program.size()), program.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
        || ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) != 0)
        return 1;
    ::execv(argv[2], argv + 2);
    return 127;
}
