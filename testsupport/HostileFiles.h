#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

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

} // namespace HostileFiles

// Runs `work` on this thread and gives the time it took. Once `limit` has passed, a watchdog plays
// the writer of each pipe in `pipes` (opens its write end and closes it again, as long as the work
// runs), so a read stuck on one sees the end of the file and returns: a test that compares the time
// with the limit then fails instead of hanging.
std::chrono::milliseconds timeWithPipes(const QStringList &pipes, const std::function<void()> &work,
                                        std::chrono::milliseconds limit = std::chrono::seconds(1));

} // namespace TestSupport
