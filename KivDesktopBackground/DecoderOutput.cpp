#include "KivDesktopBackground/DecoderOutput.h"

#include "KivUtilities/VisibleText.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <linux/sockios.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KivDesktopBackground {

namespace {

// Kept of the bound for the line that says how much was left out.
constexpr qint64 lineRoom = 256;

// The program's standard error, as a decoder's output is written to it: never waiting.
class StandardError
{
public:
    StandardError() = default;
    StandardError(const StandardError &) = delete;
    StandardError &operator=(const StandardError &) = delete;
    ~StandardError()
    {
        if (m_own >= 0)
            ::close(m_own);
    }

    // Writes what it takes of `bytes` at once; gives how many bytes it took.
    qsizetype write(const char *bytes, qsizetype size)
    {
        struct stat status
        {
        };
        if (::fstat(STDERR_FILENO, &status) != 0)
            return 0;
        ssize_t done = -1;
        if (S_ISSOCK(status.st_mode)) {
            if (room(STDERR_FILENO, true) >= size)
                done = ::send(STDERR_FILENO, bytes, size_t(size), MSG_DONTWAIT | MSG_NOSIGNAL);
        } else if (S_ISFIFO(status.st_mode) || ::isatty(STDERR_FILENO)) {
            // Through a description of its own that does not wait: the program's own keeps its flags.
            if (m_own < 0 || status.st_dev != m_device || status.st_ino != m_inode) {
                if (m_own >= 0)
                    ::close(m_own);
                m_own = ::open("/proc/self/fd/2", O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
                m_device = status.st_dev;
                m_inode = status.st_ino;
            }
            if (m_own >= 0 && (!S_ISFIFO(status.st_mode) || room(m_own, false) >= size))
                done = ::write(m_own, bytes, size_t(size));
        } else {
            // A file, or a device that takes what it is given.
            done = ::write(STDERR_FILENO, bytes, size_t(size));
        }
        return std::max<qsizetype>(done, 0);
    }

private:
    // What a pipe or a socket takes while half of what it holds stays free for the program's own
    // messages, which would wait for room. Bytes of a decoder's output go only where all of them fit.
    static qsizetype room(int descriptor, bool socket)
    {
        int queued = 0;
        int capacity = 0;
        if (socket) {
            socklen_t length = sizeof capacity;
            if (::ioctl(descriptor, SIOCOUTQ, &queued) != 0
                || ::getsockopt(descriptor, SOL_SOCKET, SO_SNDBUF, &capacity, &length) != 0)
                return 0;
        } else if (::ioctl(descriptor, FIONREAD, &queued) != 0
                   || (capacity = ::fcntl(descriptor, F_GETPIPE_SZ)) <= 0) {
            return 0;
        }
        return std::max<qsizetype>(capacity / 2 - queued, 0);
    }

    int m_own = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

void passOnUntilItsEnd(int output, qint64 bound)
{
    // A pipe whose reader went away signals the thread that writes into it, which would end the
    // program.
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
    StandardError standardError;
    // A character may come in two reads.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const qint64 passable = std::max<qint64>(bound - lineRoom, 0);
    qint64 passed = 0;
    qint64 leftOut = 0;
    bool withinLine = false;
    // Small reads, each passed on whole or not at all: shown with its escapes, one takes at most six
    // times its bytes, which the bound holds.
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(output, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (passed < passable) {
            const QByteArray shown =
                KivUtilities::visibleLines(decoder.decode(QByteArrayView(buffer, got))).toLocal8Bit();
            if (passed + shown.size() <= passable) {
                const qsizetype written = standardError.write(shown.constData(), shown.size());
                passed += written;
                if (written > 0)
                    withinLine = shown.at(written - 1) != '\n';
                if (written < shown.size())
                    leftOut += got - qint64(got) * written / shown.size();
                continue;
            }
            // Nothing more: what came later would seem to follow what is cut.
            passed = passable;
        }
        leftOut += got;
    }
    ::close(output);
    if (leftOut == 0)
        return;
    const QByteArray line = (withinLine ? "\n" : "")
        + QCoreApplication::translate("PictureDecoder",
                                      "Tapestrel: the picture decoding process wrote %1 bytes more, which "
                                      "were left out.\n")
              .arg(leftOut)
              .toLocal8Bit()
              .left(lineRoom);
    standardError.write(line.constData(), line.size());
}

} // namespace

void DecoderOutput::passOn(int output, qint64 bound)
{
    std::thread(passOnUntilItsEnd, output, bound).detach();
}

} // namespace KivDesktopBackground
