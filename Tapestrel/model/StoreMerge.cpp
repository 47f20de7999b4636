#include "Tapestrel/model/StoreMerge.h"

#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/SqliteStatement.h"
#include "Tapestrel/model/StoreConnection.h"
#include "Tapestrel/model/StoreQueries.h"

#include <QHash>
#include <QSet>

#include <optional>

#include <sqlite3.h>

namespace StoreMerge {

namespace {

// A write connection to an existing store, with the settings every context gives its own, and one
// transaction that is rolled back unless committed.
class Connection
{
public:
    explicit Connection(const QString &storePath)
    {
        m_database = StoreConnection::openExisting(storePath);
        try {
            // Deleting a row must take its options and links along, as in every context.
            exec("PRAGMA foreign_keys = ON", "The store could not run a query");
            exec("PRAGMA synchronous = NORMAL", "The store could not run a query");
            exec("BEGIN IMMEDIATE", "The store could not start a transaction");
        } catch (...) {
            sqlite3_close(m_database);
            throw;
        }
        m_inTransaction = true;
    }
    ~Connection()
    {
        if (m_inTransaction)
            sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_database);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    sqlite3 *handle() const { return m_database; }

    void commit()
    {
        exec("COMMIT", "The store could not save");
        m_inTransaction = false;
    }

private:
    void exec(const char *sql, const char *what)
    {
        if (sqlite3_exec(m_database, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw ModelStoreError(
                ModelError::Code::StoreOperationFailed,
                QStringLiteral("%1: %2").arg(QString::fromUtf8(what),
                                             QString::fromUtf8(sqlite3_errmsg(m_database))));
    }

    sqlite3 *m_database = nullptr;
    bool m_inTransaction = false;
};

// The rows of one kind of record and what the merge does with them.
struct Table
{
    const char *rows; // id and uuid of every row, in row order
    const char *linked; // the rows that a link names
    const char *remove;
};

const Table profileTable {"SELECT id, uuid FROM profiles ORDER BY id",
                          "SELECT DISTINCT profile FROM profile_backgrounds",
                          "DELETE FROM profiles WHERE id = ?"};
const Table backgroundTable {"SELECT id, uuid FROM custom_backgrounds ORDER BY id",
                             "SELECT DISTINCT background FROM profile_backgrounds",
                             "DELETE FROM custom_backgrounds WHERE id = ?"};

// Decides, for each imported record in order, whether it is added, and deletes the stored records it
// replaces; gives the ones to add. `readStored` gives the form of a stored row. Every lookup is by
// hash and every stored row is read at most once, so the work grows with the records, not with
// their square.
template<typename Form, typename Read>
QList<const Form *> replace(sqlite3 *database, const Table &table, const QList<Form> &imported,
                            bool replaceExisting, Read readStored)
{
    struct Stored
    {
        qint64 id = 0;
        bool replaced = false;
        std::optional<Form> form;
    };
    QHash<QString, Stored> firstOfUuid;
    {
        SqliteStatement rows(database, table.rows);
        while (rows.step()) {
            const QString uuid = rows.text(1);
            if (!firstOfUuid.contains(uuid))
                firstOfUuid.insert(uuid, {rows.int64(0), false, std::nullopt});
        }
    }
    QSet<qint64> linked;
    {
        SqliteStatement links(database, table.linked);
        while (links.step())
            linked.insert(links.int64(0));
    }
    SqliteStatement removal(database, table.remove);
    QList<const Form *> added;
    for (const Form &form : imported) {
        const auto found = firstOfUuid.find(form.uuid);
        if (found != firstOfUuid.end()) {
            if (!replaceExisting)
                continue;
            Stored &stored = *found;
            if (!stored.replaced) {
                if (!linked.contains(stored.id)) {
                    if (!stored.form)
                        stored.form = readStored(stored.id);
                    if (*stored.form == form)
                        continue;
                }
                stored.replaced = true;
                removal.bind(1, stored.id);
                removal.run();
            }
        }
        added.append(&form);
    }
    return added;
}

} // namespace

void merge(const QString &storePath, const QList<ProfileForm> &profiles,
           const QList<BackgroundForm> &backgrounds, bool replaceExisting)
{
    Connection connection(storePath);
    sqlite3 *database = connection.handle();
    {
        SqliteStatement storedProfile(database, "SELECT uuid, name, isEnabled FROM profiles WHERE id = ?");
        SqliteStatement storedOptions(
            database,
            "SELECT \"key\", \"value\", isEnabled FROM options WHERE profile = ? ORDER BY position, id");
        const QList<const ProfileForm *> addedProfiles =
            replace(database, profileTable, profiles, replaceExisting, [&](qint64 id) {
                ProfileForm form;
                storedProfile.bind(1, id);
                if (storedProfile.step())
                    form = {storedProfile.text(0), storedProfile.text(1), storedProfile.int64(2) != 0, {}};
                storedProfile.reset();
                storedOptions.bind(1, id);
                while (storedOptions.step())
                    form.options.append(
                        {storedOptions.text(0), storedOptions.text(1), storedOptions.int64(2) != 0});
                storedOptions.reset();
                return form;
            });
        // After the profiles: a background that only replaced profiles linked is linked no more.
        SqliteStatement storedBackground(
            database,
            "SELECT uuid, type, backgroundValue, bookmarkData FROM custom_backgrounds WHERE id = ?");
        const QList<const BackgroundForm *> addedBackgrounds =
            replace(database, backgroundTable, backgrounds, replaceExisting, [&](qint64 id) {
                BackgroundForm form;
                storedBackground.bind(1, id);
                if (storedBackground.step())
                    form = {storedBackground.text(0), storedBackground.text(1), storedBackground.text(2),
                            storedBackground.blob(3)};
                storedBackground.reset();
                return form;
            });

        SqliteStatement insertProfile(database, StoreQueries::insertProfile);
        SqliteStatement insertOption(database, StoreQueries::insertOption);
        for (const ProfileForm *profile : addedProfiles) {
            insertProfile.bind(1, profile->uuid);
            insertProfile.bind(2, profile->name);
            insertProfile.bind(3, qint64(profile->isEnabled));
            insertProfile.run();
            const qint64 row = sqlite3_last_insert_rowid(database);
            for (qsizetype position = 0; position < profile->options.size(); ++position) {
                const OptionForm &option = profile->options[position];
                insertOption.bind(1, option.key);
                insertOption.bind(2, option.value);
                insertOption.bind(3, qint64(option.isEnabled));
                insertOption.bind(4, row);
                insertOption.bind(5, qint64(position));
                insertOption.run();
            }
        }
        SqliteStatement insertBackground(database, StoreQueries::insertBackground);
        for (const BackgroundForm *background : addedBackgrounds) {
            insertBackground.bind(1, background->uuid);
            insertBackground.bind(2, background->type);
            insertBackground.bind(3, background->backgroundValue);
            insertBackground.bind(4, background->bookmarkData);
            insertBackground.run();
        }
    }
    connection.commit();
}

} // namespace StoreMerge
