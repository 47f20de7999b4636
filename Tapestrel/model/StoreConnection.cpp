#include "Tapestrel/model/StoreConnection.h"

#include "Tapestrel/model/ModelError.h"

#include <QFile>

#include <sqlite3.h>

namespace StoreConnection {

namespace {

thread_local Stop *t_stop = nullptr;

int stopWhenAsked(void *stop)
{
    return static_cast<Stop *>(stop)->isStopped() ? 1 : 0;
}

int commitWhenAllowed(void *stop)
{
    return static_cast<Stop *>(stop)->mayCommit() ? 0 : 1;
}

} // namespace

bool Stop::stop()
{
    const std::lock_guard lock(m_turn);
    m_stopped = true;
    return m_committed;
}

bool Stop::mayCommit()
{
    const std::lock_guard lock(m_turn);
    if (m_stopped)
        return false;
    m_committed = true;
    return true;
}

StopScope::StopScope(Stop *stop)
    : m_previous(t_stop)
{
    t_stop = stop;
}

StopScope::~StopScope()
{
    t_stop = m_previous;
}

sqlite3 *openExisting(const QString &storePath)
{
    sqlite3 *database = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(storePath).constData(), &database,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        const QString reason = database ? QString::fromUtf8(sqlite3_errmsg(database))
                                        : QString::fromUtf8(sqlite3_errstr(opened));
        sqlite3_close(database);
        throw ModelStoreError(
            ModelError::Code::StoreUnavailable,
            QStringLiteral("The store “%1” could not be opened: %2").arg(storePath, reason));
    }
    sqlite3_busy_timeout(database, 5000);
    if (!t_stop)
        return database;
    sqlite3_progress_handler(database, 1000, &stopWhenAsked, t_stop);
    sqlite3_commit_hook(database, &commitWhenAllowed, t_stop);
    return database;
}

} // namespace StoreConnection
