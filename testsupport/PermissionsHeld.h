#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace TestSupport {

// Holds the calling thread to the permissions of files and folders for a scope, as they hold any user:
// root's overrides (reading, writing and searching anything, changing any file's mode or times) are
// dropped from the thread's effective capabilities and given back at the end. Only that thread is
// affected, so a test run as root can see what a user meets in a folder that is not theirs.
class PermissionsHeld
{
public:
    PermissionsHeld()
    {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0) {
            ADD_FAILURE() << "the thread's capabilities cannot be read";
            return;
        }
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~(capability(CAP_DAC_OVERRIDE) | capability(CAP_DAC_READ_SEARCH)
                                  | capability(CAP_FOWNER));
        m_lowered = ::syscall(SYS_capset, &m_header, lowered) == 0;
        EXPECT_TRUE(m_lowered || ::geteuid() != 0) << "root's overrides cannot be dropped";
    }
    ~PermissionsHeld()
    {
        if (m_lowered)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    PermissionsHeld(const PermissionsHeld &) = delete;
    PermissionsHeld &operator=(const PermissionsHeld &) = delete;

private:
    static __u32 capability(int number) { return __u32(1) << number; }

    __user_cap_header_struct m_header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] {};
    bool m_lowered = false;
};

} // namespace TestSupport
