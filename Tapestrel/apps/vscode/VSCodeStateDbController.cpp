#include "Tapestrel/apps/vscode/VSCodeStateDbController.h"

#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"
#include "Tapestrel/apps/vscode/VSCodeLocations.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>

#include <sqlite3.h>

namespace {

constexpr int maxValueBytes = 16 * 1024 * 1024;

bool presentButNotRegular(const QString &path)
{
    const QFileInfo info(path);
    return (info.exists() || info.isSymLink()) && !info.isFile();
}

// The URI that opens the database read-only without creating anything beside it. A database in
// write-ahead-log mode needs its shared-memory file to be read safely; when VS Code has not left
// both of its log files, the database file alone is read as it stands. SQLite opens the files
// beside the database by name with an ordinary open, which a named pipe in their place would keep
// waiting: such files are never opened, the database is then read as it stands too.
std::optional<QByteArray> readOnlyUri(const QString &path)
{
    QFile file;
    if (Platform::RegularFile::open(file, path))
        return std::nullopt;
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return std::nullopt;
    const bool writeAheadLog = header.at(18) == 2 || header.at(19) == 2;
    const QString wal = path + QStringLiteral("-wal");
    const QString shm = path + QStringLiteral("-shm");
    const bool logFilesPresent = QFileInfo(wal).isFile() && QFileInfo(shm).isFile();
    const bool strangeNeighbour = presentButNotRegular(wal) || presentButNotRegular(shm)
        || presentButNotRegular(path + QStringLiteral("-journal"));
    QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    uri += (strangeNeighbour || (writeAheadLog && !logFilesPresent))
        ? QByteArrayLiteral("?mode=ro&immutable=1")
        : QByteArrayLiteral("?mode=ro");
    return uri;
}

} // namespace

std::optional<QString> VSCodeStateDbController::readValue(const QString &key, const QString &databasePath)
{
    const auto uri = readOnlyUri(databasePath);
    if (!uri)
        return std::nullopt;
    sqlite3 *database = nullptr;
    if (sqlite3_open_v2(uri->constData(), &database, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr)
        != SQLITE_OK) {
        sqlite3_close_v2(database);
        return std::nullopt;
    }
    sqlite3_busy_timeout(database, busyTimeoutMilliseconds);
    // A longer value fails the read in SQLite, before it is loaded.
    sqlite3_limit(database, SQLITE_LIMIT_LENGTH, maxValueBytes);
    std::optional<QString> result;
    sqlite3_stmt *statement = nullptr;
    static const char query[] = "SELECT value FROM ItemTable WHERE key = ?1";
    if (sqlite3_prepare_v2(database, query, -1, &statement, nullptr) == SQLITE_OK) {
        const QByteArray keyBytes = key.toUtf8();
        sqlite3_bind_text(statement, 1, keyBytes.constData(), int(keyBytes.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
            const int length = sqlite3_column_bytes(statement, 0);
            if (text)
                result = QString::fromUtf8(text, length);
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close_v2(database);
    return result;
}

std::optional<VSCodeStateDbController> VSCodeStateDbController::open(const VSCodeProfile &profile)
{
    const auto path = VSCodeLocations::stateDatabasePath(profile);
    if (!path)
        return std::nullopt;
    return openFile(*path);
}

std::optional<VSCodeStateDbController> VSCodeStateDbController::openFile(const QString &databasePath)
{
    const auto value = readValue(disabledExtensionsKey, databasePath);
    if (!value)
        return std::nullopt;
    const auto document =
        JsonWithCommentsDocument::parse(value->toUtf8(), JsonWithCommentsDocument::Dialect::Strict);
    if (!document || !document->value().isArray())
        return std::nullopt;
    VSCodeStateDbController controller;
    for (const QJsonValue &entry : document->value().toArray()) {
        if (!entry.isObject())
            return std::nullopt;
        const QJsonValue id = entry[QStringLiteral("id")];
        const QJsonValue uuid = entry[QStringLiteral("uuid")];
        if (id.isString() && uuid.isString())
            controller.m_excludedExtensions.append({id.toString(), uuid.toString()});
    }
    return controller;
}
