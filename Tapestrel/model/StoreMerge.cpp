#include "Tapestrel/model/StoreMerge.h"

#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/SqliteStatement.h"
#include "Tapestrel/model/StoreConnection.h"
#include "Tapestrel/model/StoreQueries.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <memory>
#include <unordered_map>

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
            // A row that moves to another id takes the rows naming it along one statement later.
            exec("PRAGMA defer_foreign_keys = ON", "The store could not run a query");
        } catch (...) {
            sqlite3_close(m_database);
            throw;
        }
        m_inTransaction = true;
    }
    ~Connection()
    {
        m_statements.clear();
        if (m_inTransaction)
            sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_database);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    sqlite3 *handle() const { return m_database; }

    // The statement for `sql`, prepared at its first use.
    SqliteStatement &statement(const char *sql)
    {
        std::unique_ptr<SqliteStatement> &known = m_statements[sql];
        if (!known)
            known = std::make_unique<SqliteStatement>(m_database, sql);
        return *known;
    }
    // Runs a statement of whole numbers.
    void run(const char *sql, std::initializer_list<qint64> values)
    {
        SqliteStatement &done = statement(sql);
        int parameter = 0;
        for (const qint64 value : values)
            done.bind(++parameter, value);
        done.run();
    }

    void commit()
    {
        m_statements.clear();
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
    std::unordered_map<const char *, std::unique_ptr<SqliteStatement>> m_statements;
};

// One stored or imported record in the order of the store after the merge.
template<typename Form> struct Entry
{
    qint64 storedId = 0; // none for a record the store does not hold
    const Form *form = nullptr; // what its row holds after the merge; none: the stored row as it is
    qint64 id = 0; // its row after the merge
};

// Numbers the records in order. A stored row keeps its id wherever that keeps the order and leaves
// room for the records before it that need one; those take the free ids below it, and the records
// left over ids after every stored one. An id that a stored row has is never given to another record:
// a context may still name that row by it.
template<typename Form> void number(QList<Entry<Form>> &order, const QList<qint64> &storedIds)
{
    const auto takenBetween = [&storedIds](qint64 low, qint64 high) {
        return std::lower_bound(storedIds.cbegin(), storedIds.cend(), high)
            - std::upper_bound(storedIds.cbegin(), storedIds.cend(), low);
    };
    qint64 last = 0;
    QList<qsizetype> waiting;
    for (qsizetype k = 0; k < order.size(); ++k) {
        const qint64 stored = order[k].storedId;
        if (stored <= last || stored - last - 1 - takenBetween(last, stored) < waiting.size()) {
            waiting.append(k);
            continue;
        }
        auto taken = std::upper_bound(storedIds.cbegin(), storedIds.cend(), last);
        qint64 free = last + 1;
        for (const qsizetype w : std::as_const(waiting)) {
            for (; taken != storedIds.cend() && *taken == free; ++taken)
                ++free;
            order[w].id = free++;
        }
        waiting.clear();
        order[k].id = last = stored;
    }
    qint64 next = std::max(storedIds.isEmpty() ? 0 : storedIds.last(), last);
    for (const qsizetype w : std::as_const(waiting))
        order[w].id = ++next;
}

// The rows of one kind of record and what the merge does with them.
struct Table
{
    const char *rows; // id and uuid of every row, in row order
    const char *linked; // the rows that a link names
    const char *remove;
    const char *move; // the row of the second id to the first
    QList<const char *> moveReferences; // the rows naming it, to the new id: new id, old id
    QList<const char *> clearReferences; // the links of a row whose content is replaced: its id
};

const Table profileTable {"SELECT id, uuid FROM profiles ORDER BY id",
                          "SELECT DISTINCT profile FROM profile_backgrounds",
                          "DELETE FROM profiles WHERE id = ?",
                          "UPDATE profiles SET id = ? WHERE id = ?",
                          {"UPDATE options SET profile = ? WHERE profile = ?",
                           "UPDATE profile_backgrounds SET profile = ? WHERE profile = ?"},
                          {"DELETE FROM profile_backgrounds WHERE profile = ?"}};
const Table backgroundTable {"SELECT id, uuid FROM custom_backgrounds ORDER BY id",
                             "SELECT DISTINCT background FROM profile_backgrounds",
                             "DELETE FROM custom_backgrounds WHERE id = ?",
                             "UPDATE custom_backgrounds SET id = ? WHERE id = ?",
                             {"UPDATE profile_backgrounds SET background = ? WHERE background = ?"},
                             {"DELETE FROM profile_backgrounds WHERE background = ?"}};

// Decides, for each imported record in order, whether it is added, replaces the stored record of its
// uuid or leaves it as it is, and puts every record in the order the store keeps after the merge:
// the imported ones in theirs, each stored one the import does not hold after the one it followed.
// `readStored` gives the form of a stored row. Every lookup is by hash and every stored row is read
// at most once, so the work grows with the records, not with their square.
template<typename Form, typename Read>
QList<Entry<Form>> arrange(Connection &connection, const Table &table, const QList<Form> &imported,
                           bool replaceExisting, Read readStored)
{
    QList<qint64> ids;
    QHash<QString, qsizetype> firstOfUuid;
    {
        SqliteStatement rows(connection.handle(), table.rows);
        while (rows.step()) {
            // Of several stored rows of one uuid, the first is the one an imported record meets.
            const QString uuid = rows.text(1);
            if (!firstOfUuid.contains(uuid))
                firstOfUuid.insert(uuid, ids.size());
            ids.append(rows.int64(0));
        }
    }
    QSet<qint64> linked;
    {
        SqliteStatement links(connection.handle(), table.linked);
        while (links.step())
            linked.insert(links.int64(0));
    }

    QList<Entry<Form>> entries;
    QList<qsizetype> entryOfRow(ids.size(), -1);
    QSet<QString> seen;
    for (const Form &form : imported) {
        // Callers refuse an import that holds a uuid twice; should one come, its first record counts.
        if (seen.contains(form.uuid))
            continue;
        seen.insert(form.uuid);
        Entry<Form> entry;
        const qsizetype row = firstOfUuid.value(form.uuid, -1);
        if (row < 0) {
            entry.form = &form;
        } else {
            entry.storedId = ids[row];
            entryOfRow[row] = entries.size();
            // A stored record equal to the imported one, linking or linked by nothing, stays in its
            // row: restoring a recent backup is mostly such records.
            if (replaceExisting && (linked.contains(entry.storedId) || readStored(entry.storedId) != form))
                entry.form = &form;
        }
        entries.append(entry);
    }

    QHash<qsizetype, QList<qint64>> followers; // by the entry they follow, -1 for none
    qsizetype anchor = -1;
    for (qsizetype row = 0; row < ids.size(); ++row) {
        if (entryOfRow[row] >= 0)
            anchor = entryOfRow[row];
        else
            followers[anchor].append(ids[row]);
    }
    QList<Entry<Form>> order;
    order.reserve(ids.size() + entries.size());
    const auto follow = [&](qsizetype entry) {
        for (const qint64 id : followers.value(entry))
            order.append({id, nullptr, 0});
    };
    follow(-1);
    for (qsizetype entry = 0; entry < entries.size(); ++entry) {
        order.append(entries[entry]);
        follow(entry);
    }
    number(order, ids);
    return order;
}

// Writes the order into the store: a row that keeps its id takes what replaces it in place, so that
// contexts holding its record see it changed; one that moves takes the rows naming it along.
// `write` is given the form, the row it goes to and the row it replaces (none for a new record). A
// record that leaves its row is noted in `moves`.
template<typename Form, typename Write>
void apply(Connection &connection, const Table &table, const QList<Entry<Form>> &order, Write write,
           QHash<qint64, qint64> &moves)
{
    for (const Entry<Form> &entry : order) {
        if (entry.storedId && entry.storedId != entry.id)
            moves.insert(entry.storedId, entry.id);
        if (entry.storedId == entry.id) {
            if (!entry.form)
                continue;
            for (const char *clear : table.clearReferences)
                connection.run(clear, {entry.id});
            write(*entry.form, entry.id, entry.storedId);
        } else if (!entry.storedId) {
            write(*entry.form, entry.id, 0);
        } else if (entry.form) {
            // Written before the old row goes, which is read for what it held.
            write(*entry.form, entry.id, entry.storedId);
            connection.run(table.remove, {entry.storedId});
        } else {
            connection.run(table.move, {entry.id, entry.storedId});
            for (const char *reference : table.moveReferences)
                connection.run(reference, {entry.id, entry.storedId});
        }
    }
}

} // namespace

RowMoves merge(const QString &storePath, const QList<ProfileForm> &profiles,
               const QList<BackgroundForm> &backgrounds, bool replaceExisting)
{
    RowMoves moves;
    Connection connection(storePath);
    sqlite3 *database = connection.handle();
    {
        struct StoredOption
        {
            qint64 id = 0;
            OptionForm form;
        };
        SqliteStatement storedProfile(database, "SELECT uuid, name, isEnabled FROM profiles WHERE id = ?");
        SqliteStatement storedOptions(database,
                                      "SELECT id, \"key\", \"value\", isEnabled FROM options "
                                      "WHERE profile = ? ORDER BY position, id");
        // The options of the profiles read, kept for their replacement.
        QHash<qint64, QList<StoredOption>> optionsOf;
        const auto readOptions = [&](qint64 profile) {
            QList<StoredOption> options;
            storedOptions.bind(1, profile);
            while (storedOptions.step())
                options.append({storedOptions.int64(0),
                                {storedOptions.text(1), storedOptions.text(2), storedOptions.int64(3) != 0}});
            storedOptions.reset();
            return options;
        };
        const QList<Entry<ProfileForm>> order =
            arrange(connection, profileTable, profiles, replaceExisting, [&](qint64 id) {
                ProfileForm form;
                storedProfile.bind(1, id);
                if (storedProfile.step())
                    form = {storedProfile.text(0), storedProfile.text(1), storedProfile.int64(2) != 0, {}};
                storedProfile.reset();
                const QList<StoredOption> &options = optionsOf[id] = readOptions(id);
                for (const StoredOption &option : options)
                    form.options.append(option.form);
                return form;
            });
        // Options are numbered after every one stored before, never in an id a context may still name.
        qint64 nextOption = 0;
        {
            SqliteStatement last(database, "SELECT coalesce(max(id), 0) FROM options");
            if (last.step())
                nextOption = last.int64(0);
        }
        apply(
            connection, profileTable, order,
            [&](const ProfileForm &profile, qint64 row, qint64 storedRow) {
                const bool inPlace = storedRow == row;
                SqliteStatement &written =
                    connection.statement(inPlace ? StoreQueries::updateProfile : StoreQueries::insertProfile);
                written.bind(1, profile.uuid);
                written.bind(2, profile.name);
                written.bind(3, qint64(profile.isEnabled));
                written.bind(4, row);
                written.run();
                // In place, an option whose key stays at its place keeps its row and takes the new
                // value there: a context holding its record sees it changed, and the rows are not made
                // anew.
                const QList<StoredOption> stored = !storedRow ? QList<StoredOption>()
                    : optionsOf.contains(storedRow)           ? optionsOf.take(storedRow)
                                                              : readOptions(storedRow);
                const auto kept = [&](qsizetype position) {
                    return inPlace && position < stored.size() && position < profile.options.size()
                        && stored[position].form.key == profile.options[position].key;
                };
                // The rows that go, by key in their order: a new option of the key takes the record.
                QHash<QString, QList<qint64>> leaving;
                for (qsizetype position = 0; position < stored.size(); ++position) {
                    if (!kept(position))
                        leaving[stored[position].form.key].append(stored[position].id);
                }
                SqliteStatement &insertOption = connection.statement(StoreQueries::insertOption);
                SqliteStatement &updateOption = connection.statement(StoreQueries::updateOption);
                for (qsizetype position = 0; position < std::max(profile.options.size(), stored.size());
                     ++position) {
                    const bool keeps = kept(position);
                    if (inPlace && position < stored.size() && !keeps)
                        connection.run("DELETE FROM options WHERE id = ?", {stored[position].id});
                    if (position >= profile.options.size())
                        continue;
                    const OptionForm &option = profile.options[position];
                    SqliteStatement &write = keeps ? updateOption : insertOption;
                    const qint64 id = keeps ? stored[position].id : ++nextOption;
                    write.bind(1, option.key);
                    write.bind(2, option.value);
                    write.bind(3, qint64(option.isEnabled));
                    write.bind(4, row);
                    write.bind(5, qint64(position));
                    write.bind(6, id);
                    write.run();
                    if (!keeps) {
                        const auto left = leaving.find(option.key);
                        if (left != leaving.end() && !left->isEmpty())
                            moves.options.insert(left->takeFirst(), id);
                    }
                }
                for (const QList<qint64> &rows : std::as_const(leaving))
                    moves.droppedOptions.append(rows);
            },
            moves.profiles);
    }
    {
        // After the profiles: a background that only replaced profiles linked is linked no more.
        SqliteStatement storedBackground(
            database,
            "SELECT uuid, type, backgroundValue, bookmarkData FROM custom_backgrounds WHERE id = ?");
        const QList<Entry<BackgroundForm>> order =
            arrange(connection, backgroundTable, backgrounds, replaceExisting, [&](qint64 id) {
                BackgroundForm form;
                storedBackground.bind(1, id);
                if (storedBackground.step())
                    form = {storedBackground.text(0), storedBackground.text(1), storedBackground.text(2),
                            storedBackground.blob(3)};
                storedBackground.reset();
                return form;
            });
        apply(
            connection, backgroundTable, order,
            [&](const BackgroundForm &background, qint64 row, qint64 storedRow) {
                SqliteStatement &written = connection.statement(
                    storedRow == row ? StoreQueries::updateBackground : StoreQueries::insertBackground);
                written.bind(1, background.uuid);
                written.bind(2, background.type);
                written.bind(3, background.backgroundValue);
                written.bind(4, background.bookmarkData);
                written.bind(5, row);
                written.run();
            },
            moves.backgrounds);
    }
    connection.commit();
    return moves;
}

} // namespace StoreMerge
