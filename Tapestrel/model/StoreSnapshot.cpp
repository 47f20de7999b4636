#include "Tapestrel/model/StoreSnapshot.h"

#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/SqliteStatement.h"
#include "Tapestrel/model/StoreConnection.h"
#include "Tapestrel/model/StoreQueries.h"

#include <sqlite3.h>

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
    void appendText(const SqliteStatement &row, int column)
    {
        const QByteArrayView text = row.utf8(column);
        if (!JsonCoder::appendAsciiString(m_bytes, text))
            JsonCoder::appendString(m_bytes, QString::fromUtf8(text));
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
    m_database = StoreConnection::openExisting(storePath);
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
    SqliteStatement profiles(m_database, StoreQueries::allProfiles);
    SqliteStatement options(m_database, StoreQueries::allListedOptions);
    Output out(sink);
    out.append('[');
    bool optionPending = options.step();
    bool firstProfile = true;
    while (profiles.step()) {
        const qint64 id = profiles.int64(0);
        out.append(firstProfile ? R"({"uuid":)" : R"(,{"uuid":)");
        firstProfile = false;
        out.appendText(profiles, 1);
        out.append(R"(,"name":)");
        out.appendText(profiles, 2);
        out.append(R"(,"options":[)");
        while (optionPending && options.int64(4) < id)
            optionPending = options.step();
        bool firstOption = true;
        while (optionPending && options.int64(4) == id) {
            out.append(firstOption ? R"({"key":)" : R"(,{"key":)");
            firstOption = false;
            out.appendText(options, 1);
            out.append(R"(,"value":)");
            out.appendText(options, 2);
            out.append(R"(,"isEnabled":)");
            out.appendBool(options.int64(3) != 0);
            out.append('}');
            optionPending = options.step();
        }
        out.append(R"(],"isEnabled":)");
        out.appendBool(profiles.int64(3) != 0);
        out.append('}');
        out.pieceDone();
    }
    out.append(']');
    out.flush();
}

void StoreSnapshot::writeBackgroundsJson(const Sink &sink)
{
    SqliteStatement backgrounds(m_database, StoreQueries::allBackgrounds);
    Output out(sink);
    out.append('[');
    bool first = true;
    while (backgrounds.step()) {
        out.append(first ? R"({"uuid":)" : R"(,{"uuid":)");
        first = false;
        out.appendText(backgrounds, 1);
        out.append(R"(,"kind":)");
        out.appendText(backgrounds, 2);
        out.append(R"(,"backgroundValue":)");
        out.appendText(backgrounds, 3);
        if (const std::optional<QByteArray> bookmark = backgrounds.blob(4)) {
            out.append(R"(,"bookmarkData":)");
            JsonCoder::appendString(out.bytes(), QByteArrayView(bookmark->toBase64()));
        }
        out.append('}');
        out.pieceDone();
    }
    out.append(']');
    out.flush();
}
