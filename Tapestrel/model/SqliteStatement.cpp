#include "Tapestrel/model/SqliteStatement.h"

#include "Tapestrel/model/ModelError.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3 *database, const char *sql)
    : m_database(database)
{
    const int code = sqlite3_prepare_v3(database, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        throw ModelStoreError(ModelError::Code::StoreOperationFailed,
                              QStringLiteral("The store could not prepare a query: %1")
                                  .arg(QString::fromUtf8(sqlite3_errmsg(database))));
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

void SqliteStatement::fail(int code) const
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_database));
    throw ModelStoreError(ModelError::Code::StoreOperationFailed,
                          QStringLiteral("The store could not run a query: %1 (%2)").arg(message).arg(code));
}

void SqliteStatement::bind(int parameter, qint64 value)
{
    if (const int code = sqlite3_bind_int64(m_statement, parameter, value); code != SQLITE_OK)
        fail(code);
}

void SqliteStatement::bind(int parameter, const QString &text)
{
    // Bound as UTF-16 and stored in the file's own encoding by SQLite. A null QString is still a
    // text (the empty one), never NULL: the text columns do not allow NULL.
    static const char16_t empty[] = u"";
    const void *data = text.isNull() ? static_cast<const void *>(empty) : text.utf16();
    const int code = sqlite3_bind_text16(m_statement, parameter, data, int(text.size() * sizeof(char16_t)),
                                         SQLITE_TRANSIENT);
    if (code != SQLITE_OK)
        fail(code);
}

void SqliteStatement::bind(int parameter, const std::optional<QByteArray> &blob)
{
    // A null byte array is stored as NULL, as the store has always done; an empty one is a value.
    if (!blob || blob->isNull()) {
        bindNull(parameter);
        return;
    }
    static const char none = 0;
    const void *data = blob->isEmpty() ? static_cast<const void *>(&none) : blob->constData();
    if (const int code = sqlite3_bind_blob(m_statement, parameter, data, int(blob->size()), SQLITE_TRANSIENT);
        code != SQLITE_OK)
        fail(code);
}

void SqliteStatement::bindNull(int parameter)
{
    if (const int code = sqlite3_bind_null(m_statement, parameter); code != SQLITE_OK)
        fail(code);
}

bool SqliteStatement::step()
{
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    fail(code);
}

void SqliteStatement::run()
{
    while (step()) { }
    reset();
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

qint64 SqliteStatement::int64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QString SqliteStatement::text(int column) const
{
    // The file keeps texts in UTF-8; reading them as such spares SQLite a converted copy.
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    const int bytes = sqlite3_column_bytes(m_statement, column);
    if (!data)
        return QString();
    return QString::fromUtf8(data, bytes);
}

QByteArrayView SqliteStatement::utf8(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return QByteArrayView(data, sqlite3_column_bytes(m_statement, column));
}

std::optional<QByteArray> SqliteStatement::blob(int column) const
{
    if (sqlite3_column_type(m_statement, column) == SQLITE_NULL)
        return std::nullopt;
    const void *data = sqlite3_column_blob(m_statement, column);
    const int bytes = sqlite3_column_bytes(m_statement, column);
    return QByteArray(static_cast<const char *>(data), bytes);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}
