#include "Tapestrel/model/StoreSnapshot.h"

#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/ModelError.h"

#include <QFile>

#include <sqlite3.h>

#include <memory>

namespace {

[[noreturn]] void failed(sqlite3 *database, const char *what)
{
    throw ModelStoreError(
        ModelError::Code::StoreOperationFailed,
        QStringLiteral("%1: %2").arg(QString::fromUtf8(what), QString::fromUtf8(sqlite3_errmsg(database))));
}

struct Finalize
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

Statement prepare(sqlite3 *database, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK)
        failed(database, "The store could not run a query");
    return Statement(statement);
}

bool step(sqlite3 *database, const Statement &statement)
{
    const int code = sqlite3_step(statement.get());
    if (code == SQLITE_ROW)
        return true;
    if (code != SQLITE_DONE)
        failed(database, "The store could not be read");
    return false;
}

} // namespace

// Collects the document in one reused buffer and hands it on in pieces of about this size.
class StoreSnapshot::Output
{
public:
    static constexpr qsizetype pieceSize = 64 * 1024;

    explicit Output(const Sink &sink)
        : m_sink(sink)
    {
        m_bytes.reserve(pieceSize + pieceSize / 4);
    }

    QByteArray &bytes() { return m_bytes; }
    void append(const char *text) { m_bytes.append(text); }
    void append(char c) { m_bytes.append(c); }
    void appendBool(bool value) { JsonCoder::appendBool(m_bytes, value); }
    // A text column as the records read it (UTF-8, ill-formed sequences replaced).
    void appendText(sqlite3_stmt *row, int column)
    {
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(row, column));
        const int size = sqlite3_column_bytes(row, column);
        if (!JsonCoder::appendAsciiString(m_bytes, QByteArrayView(data, size)))
            JsonCoder::appendString(m_bytes, QString::fromUtf8(data, size));
    }
    // Hands on what is collected once a piece is full.
    void pieceDone()
    {
        if (m_bytes.size() >= pieceSize)
            flush();
    }
    void flush()
    {
        if (!m_bytes.isEmpty())
            m_sink(m_bytes);
        m_bytes.resize(0);
    }

private:
    const Sink &m_sink;
    QByteArray m_bytes;
};

StoreSnapshot::StoreSnapshot(const QString &storePath)
{
    // Never created here: a snapshot of a store that is not there is an error.
    const int opened = sqlite3_open_v2(QFile::encodeName(storePath).constData(), &m_database,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        const QString reason = m_database ? QString::fromUtf8(sqlite3_errmsg(m_database))
                                          : QString::fromUtf8(sqlite3_errstr(opened));
        sqlite3_close(m_database);
        m_database = nullptr;
        throw ModelStoreError(
            ModelError::Code::StoreUnavailable,
            QStringLiteral("The store “%1” could not be opened: %2").arg(storePath, reason));
    }
    sqlite3_busy_timeout(m_database, 5000);
    // One read transaction for everything read through the snapshot: every document shows the
    // store at the same moment.
    if (sqlite3_exec(m_database, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(m_database));
        sqlite3_close(m_database);
        m_database = nullptr;
        throw ModelStoreError(ModelError::Code::StoreOperationFailed,
                              QStringLiteral("The store could not start a transaction: %1").arg(reason));
    }
}

StoreSnapshot::~StoreSnapshot()
{
    sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_database);
}

void StoreSnapshot::writeProfilesJson(const Sink &sink)
{
    // Both in the order a fetch lists them; the options' rows come grouped by profile, so the two
    // are walked side by side. Options of no stored profile belong to no list.
    const Statement profiles =
        prepare(m_database, "SELECT id, uuid, name, isEnabled FROM profiles ORDER BY id");
    const Statement options = prepare(m_database,
                                      "SELECT profile, \"key\", \"value\", isEnabled FROM options "
                                      "WHERE profile IS NOT NULL ORDER BY profile, position, id");
    Output out(sink);
    out.append('[');
    bool optionPending = step(m_database, options);
    bool firstProfile = true;
    while (step(m_database, profiles)) {
        const qint64 id = sqlite3_column_int64(profiles.get(), 0);
        out.append(firstProfile ? R"({"uuid":)" : R"(,{"uuid":)");
        firstProfile = false;
        out.appendText(profiles.get(), 1);
        out.append(R"(,"name":)");
        out.appendText(profiles.get(), 2);
        out.append(R"(,"options":[)");
        while (optionPending && sqlite3_column_int64(options.get(), 0) < id)
            optionPending = step(m_database, options);
        bool firstOption = true;
        while (optionPending && sqlite3_column_int64(options.get(), 0) == id) {
            out.append(firstOption ? R"({"key":)" : R"(,{"key":)");
            firstOption = false;
            out.appendText(options.get(), 1);
            out.append(R"(,"value":)");
            out.appendText(options.get(), 2);
            out.append(R"(,"isEnabled":)");
            out.appendBool(sqlite3_column_int64(options.get(), 3) != 0);
            out.append('}');
            optionPending = step(m_database, options);
        }
        out.append(R"(],"isEnabled":)");
        out.appendBool(sqlite3_column_int64(profiles.get(), 3) != 0);
        out.append('}');
        out.pieceDone();
    }
    out.append(']');
    out.flush();
}

void StoreSnapshot::writeBackgroundsJson(const Sink &sink)
{
    const Statement backgrounds = prepare(
        m_database, "SELECT uuid, type, backgroundValue, bookmarkData FROM custom_backgrounds ORDER BY id");
    Output out(sink);
    out.append('[');
    bool first = true;
    while (step(m_database, backgrounds)) {
        out.append(first ? R"({"uuid":)" : R"(,{"uuid":)");
        first = false;
        out.appendText(backgrounds.get(), 0);
        out.append(R"(,"kind":)");
        out.appendText(backgrounds.get(), 1);
        out.append(R"(,"backgroundValue":)");
        out.appendText(backgrounds.get(), 2);
        if (sqlite3_column_type(backgrounds.get(), 3) != SQLITE_NULL) {
            const auto *data = static_cast<const char *>(sqlite3_column_blob(backgrounds.get(), 3));
            const int size = sqlite3_column_bytes(backgrounds.get(), 3);
            out.append(R"(,"bookmarkData":)");
            JsonCoder::appendString(out.bytes(), QByteArrayView(QByteArray(data, size).toBase64()));
        }
        out.append('}');
        out.pieceDone();
    }
    out.append(']');
    out.flush();
}
