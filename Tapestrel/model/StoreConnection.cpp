#include "Tapestrel/model/StoreConnection.h"

#include "Tapestrel/model/ModelError.h"

#include <QFile>

#include <sqlite3.h>

namespace StoreConnection {

namespace {

thread_local const std::atomic<bool> *t_stop = nullptr;

int stopWhenAsked(void *stop)
{
    return static_cast<const std::atomic<bool> *>(stop)->load() ? 1 : 0;
}

} // namespace

StopScope::StopScope(const std::atomic<bool> *stop)
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
    if (t_stop)
        sqlite3_progress_handler(database, 1000, &stopWhenAsked,
                                 const_cast<void *>(static_cast<const void *>(t_stop)));
    return database;
}

} // namespace StoreConnection
