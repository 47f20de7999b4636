#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace TestSupport {

// While it lives, everything written to this process's standard error (by the process itself or by
// a child that inherits it) goes into a temporary file instead of the terminal; text() reads it.
class CapturedStandardError
{
public:
    CapturedStandardError()
    {
        std::fflush(stderr);
        if (m_file.open()) {
            m_saved = ::dup(STDERR_FILENO);
            ::dup2(m_file.handle(), STDERR_FILENO);
        }
    }
    ~CapturedStandardError() { restore(); }
    CapturedStandardError(const CapturedStandardError &) = delete;
    CapturedStandardError &operator=(const CapturedStandardError &) = delete;

    // What has been written so far; standard error stays captured.
    QByteArray text()
    {
        std::fflush(stderr);
        QFile reader(m_file.fileName());
        return reader.open(QIODevice::ReadOnly) ? reader.readAll() : QByteArray();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

// Runs `work` with standard error captured, and returns what was written to it meanwhile.
template<typename Work> QByteArray standardErrorOf(Work work)
{
    CapturedStandardError captured;
    work();
    return captured.text();
}

} // namespace TestSupport
