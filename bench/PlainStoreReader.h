#pragma once

// The floor of reading the profile store: the same file read with the SQLite C API into plain
// records, as a careful hand-written reader would. It opens its own connection, checks the schema
// version, and reads every profile with its options and linked backgrounds in order, with one
// statement per kind of row and nothing per row beyond the records' own texts. What the store's
// context does more than this (objects that can be observed, one object per row, change tracking)
// is what the ratio to this floor shows.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <optional>
#include <vector>

namespace PlainStore {

struct Option
{
    qint64 id = 0;
    QString key;
    QString value;
    bool isEnabled = true;
};

struct Background
{
    qint64 id = 0;
    QString uuid;
    QString type;
    QString backgroundValue;
    std::optional<QByteArray> bookmarkData;
};

struct Profile
{
    qint64 id = 0;
    QString uuid;
    QString name;
    bool isEnabled = true;
    std::vector<Option> options;
    std::vector<Background> backgrounds;
};

class Reader
{
public:
    // Opens the file as the program does (read and write, one thread). Check ok() before reading.
    explicit Reader(const QString &filePath)
    {
        if (sqlite3_open_v2(QFile::encodeName(filePath).constData(), &m_database,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK) {
            close();
        }
    }
    ~Reader() { close(); }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    bool ok() const { return m_database != nullptr; }

    // Every profile in row order, each with its options in list order and its backgrounds in link
    // order; none when the file holds another schema or a query fails.
    std::optional<std::vector<Profile>> readProfiles()
    {
        if (!ok() || !hasSchema("1.0.0"))
            return std::nullopt;
        std::vector<Profile> profiles;
        if (!readProfileRows(profiles) || !readOptionRows(profiles) || !readBackgroundRows(profiles))
            return std::nullopt;
        return profiles;
    }

private:
    // A statement that finalises itself.
    class Query
    {
    public:
        Query(sqlite3 *database, const char *sql)
        {
            if (sqlite3_prepare_v2(database, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
                sqlite3_finalize(m_statement);
                m_statement = nullptr;
            }
        }
        ~Query() { sqlite3_finalize(m_statement); }
        Query(const Query &) = delete;
        Query &operator=(const Query &) = delete;

        bool ok() const { return m_statement != nullptr; }
        // SQLITE_ROW, SQLITE_DONE or an error code.
        int step() { return sqlite3_step(m_statement); }
        qint64 int64(int column) const { return sqlite3_column_int64(m_statement, column); }
        QString text(int column) const
        {
            const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
            return QString::fromUtf8(data, sqlite3_column_bytes(m_statement, column));
        }
        std::optional<QByteArray> blob(int column) const
        {
            if (sqlite3_column_type(m_statement, column) == SQLITE_NULL)
                return std::nullopt;
            const auto *data = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
            return QByteArray(data, sqlite3_column_bytes(m_statement, column));
        }

    private:
        sqlite3_stmt *m_statement = nullptr;
    };

    void close()
    {
        sqlite3_close(m_database);
        m_database = nullptr;
    }

    bool hasSchema(const char *version)
    {
        Query query(m_database, "SELECT value FROM metadata WHERE key = 'schemaVersion'");
        return query.ok() && query.step() == SQLITE_ROW && query.text(0) == QLatin1String(version);
    }

    bool readProfileRows(std::vector<Profile> &profiles)
    {
        Query query(m_database, "SELECT id, uuid, name, isEnabled FROM profiles ORDER BY id");
        if (!query.ok())
            return false;
        int code;
        while ((code = query.step()) == SQLITE_ROW) {
            Profile &profile = profiles.emplace_back();
            profile.id = query.int64(0);
            profile.uuid = query.text(1);
            profile.name = query.text(2);
            profile.isEnabled = query.int64(3) != 0;
        }
        return code == SQLITE_DONE;
    }

    // The index of the profile with row `id` in `profiles` (ordered by row), or -1.
    static qsizetype indexOf(const std::vector<Profile> &profiles, qint64 id)
    {
        qsizetype low = 0;
        qsizetype high = qsizetype(profiles.size());
        while (low < high) {
            const qsizetype middle = (low + high) / 2;
            if (profiles[size_t(middle)].id < id)
                low = middle + 1;
            else
                high = middle;
        }
        return low < qsizetype(profiles.size()) && profiles[size_t(low)].id == id ? low : -1;
    }

    bool readOptionRows(std::vector<Profile> &profiles)
    {
        // Grouped by profile, so the profile is looked up once per group.
        Query query(m_database,
                    "SELECT id, \"key\", \"value\", isEnabled, profile FROM options "
                    "WHERE profile IS NOT NULL ORDER BY profile, position, id");
        if (!query.ok())
            return false;
        qint64 currentId = -1;
        std::vector<Option> *options = nullptr;
        int code;
        while ((code = query.step()) == SQLITE_ROW) {
            const qint64 profileId = query.int64(4);
            if (profileId != currentId) {
                currentId = profileId;
                const size_t lastSize = options ? options->size() : 0;
                const qsizetype index = indexOf(profiles, profileId);
                options = index < 0 ? nullptr : &profiles[size_t(index)].options;
                // Profiles mostly hold as many options as the one before.
                if (options)
                    options->reserve(lastSize);
            }
            if (!options)
                continue;
            Option &option = options->emplace_back();
            option.id = query.int64(0);
            option.key = query.text(1);
            option.value = query.text(2);
            option.isEnabled = query.int64(3) != 0;
        }
        return code == SQLITE_DONE;
    }

    bool readBackgroundRows(std::vector<Profile> &profiles)
    {
        Query query(m_database,
                    "SELECT l.profile, b.id, b.uuid, b.type, b.backgroundValue, b.bookmarkData "
                    "FROM profile_backgrounds l "
                    "JOIN custom_backgrounds b ON b.id = l.background ORDER BY l.rowid");
        if (!query.ok())
            return false;
        int code;
        while ((code = query.step()) == SQLITE_ROW) {
            const qsizetype index = indexOf(profiles, query.int64(0));
            if (index < 0)
                continue;
            Background &background = profiles[size_t(index)].backgrounds.emplace_back();
            background.id = query.int64(1);
            background.uuid = query.text(2);
            background.type = query.text(3);
            background.backgroundValue = query.text(4);
            background.bookmarkData = query.blob(5);
        }
        return code == SQLITE_DONE;
    }

    sqlite3 *m_database = nullptr;
};

} // namespace PlainStore
