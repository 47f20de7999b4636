#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement of the store, compiled once and run for many rows. Values are bound and
// read with their SQLite types directly, without a variant per value. A statement in use holds a
// read snapshot of the file until it is reset, so every use goes through a Use, which resets it and
// clears its bindings when it ends. Failures throw ModelStoreError.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *database, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    class Use
    {
    public:
        explicit Use(SqliteStatement &statement)
            : m_statement(&statement)
        { }
        Use(Use &&other) noexcept
            : m_statement(std::exchange(other.m_statement, nullptr))
        { }
        Use(const Use &) = delete;
        Use &operator=(const Use &) = delete;
        Use &operator=(Use &&) = delete;
        ~Use()
        {
            if (m_statement)
                m_statement->reset();
        }
        SqliteStatement *operator->() const { return m_statement; }
        SqliteStatement &operator*() const { return *m_statement; }

    private:
        SqliteStatement *m_statement;
    };

    // Parameters count from 1.
    void bind(int parameter, qint64 value);
    void bind(int parameter, const QString &text);
    void bind(int parameter, const std::optional<QByteArray> &blob);
    void bindNull(int parameter);

    // Advances to the next row: true when there is one, false when the statement is done.
    bool step();
    // Runs a statement that returns no rows and makes it ready to run again with new values.
    void run();
    void reset();

    // Columns count from 0.
    qint64 int64(int column) const;
    QString text(int column) const;
    // The stored UTF-8 bytes of a text column, valid until the next step or reset.
    QByteArrayView utf8(int column) const;
    std::optional<QByteArray> blob(int column) const;
    bool isNull(int column) const;

private:
    [[noreturn]] void fail(int code) const;

    sqlite3 *m_database;
    sqlite3_stmt *m_statement = nullptr;
};
