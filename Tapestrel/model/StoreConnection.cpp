#include "Tapestrel/model/StoreConnection.h"

#include "Tapestrel/model/ModelError.h"

#include <QFile>

#include <sqlite3.h>

namespace StoreConnection {

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
    return database;
}

} // namespace StoreConnection
