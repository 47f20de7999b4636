#pragma once

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>

namespace TestSupport {

// Lowers this process's file-size limit for a scope, as a nearly full disk would: a write past the
// limit comes up short and then fails, instead of raising the signal that would end the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
        : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = std::min(bytes, m_saved.rlim_max);
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved {};
    void (*m_handler)(int);
};

} // namespace TestSupport
