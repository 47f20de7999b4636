#pragma once

#include <QString>
#include <QStringList>

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace TestSupport {

// What a path of another application's file may hold instead of that file. Each makes its folders
// and gives false when it could not be made.
namespace HostileFiles {

// A named pipe: an ordinary open of it waits for a writer.
bool makePipe(const QString &path);
// A symbolic link that leads to itself.
bool makeLinkLoop(const QString &path);
// A file of `size` zero bytes that takes no room on disk.
bool makeSparseFile(const QString &path, qint64 size);

// Puts a named pipe and a regular file holding `bytes` at `path` in turn, each by a rename (so the
// path is never empty), as fast as it can on a thread of its own until it is destroyed; the regular
// file is left at `path`. A reader that looks at what is there and then opens the path again meets
// the pipe now and then.
class SwappingPipe
{
public:
    SwappingPipe(const QString &path, const QByteArray &bytes);
    ~SwappingPipe();
    SwappingPipe(const SwappingPipe &) = delete;
    SwappingPipe &operator=(const SwappingPipe &) = delete;

    // Whether the pipe and the file could be made.
    bool isValid() const { return m_valid; }
    // Another name of the pipe, for timeWithPipes() to play its writer.
    QString pipe() const;

    struct Tally
    {
        std::chrono::milliseconds took {};
        int read = 0;
        int refused = 0;
    };
    // Calls `read` over and over for 300 ms while the two take turns, with timeWithPipes() playing the
    // pipe's writer after a second. `read` tells whether it got the file (false: it was refused).
    Tally keepReading(const std::function<bool()> &read) const;

private:
    QString m_path;
    QString m_folder;
    bool m_valid = false;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

} // namespace HostileFiles

// Work that takes this long was stuck on a pipe, however busy the machine: far from both a hang and
// what the work takes.
inline constexpr std::chrono::seconds stuckOnAPipe {10};

// Runs `work` on this thread and gives the time it took. Once `limit` has passed, a watchdog plays
// the writer of each pipe in `pipes` (opens its write end and closes it again, as long as the work
// runs), so a read stuck on one sees the end of the file and returns: a test that compares the time
// with the limit then fails instead of hanging.
std::chrono::milliseconds timeWithPipes(const QStringList &pipes, const std::function<void()> &work,
                                        std::chrono::milliseconds limit = stuckOnAPipe);

} // namespace TestSupport
