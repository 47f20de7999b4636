#pragma once

#include <QString>

#include <atomic>

struct sqlite3;

namespace StoreConnection {

// A connection of its own to the store file that a ModelContainer keeps at `storePath`, for work
// that reads or writes the store without a context, used on one thread at a time. The file is never
// created here: a store that is not there fails, as any that cannot be opened, with ModelStoreError.
sqlite3 *openExisting(const QString &storePath);

// While it lives, the connections this thread opens stop what they run (it fails, SQLITE_INTERRUPT,
// and an open transaction is rolled back) once `stop` is set: for work that may be abandoned.
class StopScope
{
public:
    explicit StopScope(const std::atomic<bool> *stop);
    ~StopScope();
    StopScope(const StopScope &) = delete;
    StopScope &operator=(const StopScope &) = delete;

private:
    const std::atomic<bool> *m_previous;
};

} // namespace StoreConnection
