#pragma once

#include <QString>

#include <atomic>
#include <mutex>

struct sqlite3;

namespace StoreConnection {

// A connection of its own to the store file that a ModelContainer keeps at `storePath`, for work
// that reads or writes the store without a context, used on one thread at a time. The file is never
// created here: a store that is not there fails, as any that cannot be opened, with ModelStoreError.
sqlite3 *openExisting(const QString &storePath);

// Stops the work of the connections opened under it (see StopScope), for work that may be abandoned
// whole. Once stopped, what they run fails (SQLITE_INTERRUPT) and no transaction of theirs commits: it
// is rolled back. Whether one committed before is known for certain, as the stop and each commit take
// turns.
class Stop
{
public:
    // Stops, for good; gives whether a commit went ahead since the last forgetCommits().
    bool stop();
    bool isStopped() const { return m_stopped.load(); }
    // A connection's commit: false (it is rolled back) once stopped.
    bool mayCommit();

private:
    std::atomic<bool> m_stopped {false};
    std::mutex m_turn;
    bool m_committed = false;
};

// While it lives, the connections this thread opens follow `stop`.
class StopScope
{
public:
    explicit StopScope(Stop *stop);
    ~StopScope();
    StopScope(const StopScope &) = delete;
    StopScope &operator=(const StopScope &) = delete;

private:
    Stop *m_previous;
};

} // namespace StoreConnection
