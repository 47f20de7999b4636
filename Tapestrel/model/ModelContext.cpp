#include "Tapestrel/model/ModelContext.h"

#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/RowMoves.h"
#include "Tapestrel/model/StoreQueries.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include <sqlite3.h>

namespace {

[[noreturn]] void failed(const QString &what, sqlite3 *database)
{
    throw ModelStoreError(ModelError::Code::StoreOperationFailed,
                          QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(database))));
}

// Fills a record from a row without marking it changed.
class LoadingScope
{
public:
    explicit LoadingScope(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~LoadingScope() { m_flag = false; }

private:
    bool &m_flag;
};

// Option keys repeat from profile to profile, mostly at the same place in each list. The text of
// the key last read at each place is kept beside its stored bytes, and a row with the same bytes
// shares that text instead of decoding and allocating one of its own.
class RepeatedTexts
{
public:
    QString text(const SqliteStatement &row, int column, qsizetype place)
    {
        const QByteArrayView bytes = row.utf8(column);
        if (bytes.isEmpty() || place >= maxPlaces)
            return row.text(column);
        if (place >= qsizetype(m_places.size()))
            m_places.resize(size_t(place) + 1);
        Place &known = m_places[size_t(place)];
        if (known.bytes.size() != bytes.size()
            || std::memcmp(known.bytes.constData(), bytes.data(), size_t(bytes.size())) != 0) {
            // Kept in the place's own storage: a key that differs costs a copy, not an allocation.
            known.bytes.resize(bytes.size());
            std::memcpy(known.bytes.data(), bytes.data(), size_t(bytes.size()));
            known.text = QString::fromUtf8(bytes);
        }
        return known.text;
    }

private:
    // A list longer than any profile's keeps its further keys to itself.
    static constexpr qsizetype maxPlaces = 256;
    struct Place
    {
        QByteArray bytes;
        QString text;
    };
    std::vector<Place> m_places;
};

} // namespace

ModelContext::ModelContext(ModelContainer &container)
    : m_container(&container)
{
    QString openError;
    const int opened = sqlite3_open_v2(QFile::encodeName(container.filePath()).constData(), &m_database,
                                       SQLITE_OPEN_READWRITE
                                           | SQLITE_OPEN_CREATE
                                           // A context is used on one thread only.
                                           | SQLITE_OPEN_NOMUTEX,
                                       nullptr);
    if (opened != SQLITE_OK) {
        openError = m_database ? QString::fromUtf8(sqlite3_errmsg(m_database))
                               : QString::fromUtf8(sqlite3_errstr(opened));
    } else {
        sqlite3_busy_timeout(m_database, 5000);
        // Reading the schema is the first access to the file's pages: a file that is not a
        // database fails here, before anything could be written to it.
        for (const char *sql : {"SELECT count(*) FROM sqlite_master", "PRAGMA foreign_keys = ON",
                                // With the write-ahead log this keeps the file consistent after a
                                // crash or power loss; only the last commits before a power loss
                                // may be missing.
                                "PRAGMA synchronous = NORMAL"}) {
            if (sqlite3_exec(m_database, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
                openError = QString::fromUtf8(sqlite3_errmsg(m_database));
                break;
            }
        }
    }
    if (!openError.isEmpty()) {
        sqlite3_close(m_database);
        m_database = nullptr;
        throw ModelStoreError(
            ModelError::Code::StoreUnavailable,
            QStringLiteral("The store “%1” could not be opened: %2").arg(container.filePath(), openError));
    }
    container.registerContext(this);
}

ModelContext::~ModelContext()
{
    // The records go with their context; none of them needs to be forgotten one by one.
    QList<ModelRecord *> records(m_inserted.constBegin(), m_inserted.constEnd());
    records.reserve(m_inserted.size() + m_profiles.size() + m_options.size() + m_backgrounds.size());
    records.append(m_displaced);
    m_displaced.clear();
    m_profiles.forEach([&records](Profile *profile) { records.append(profile); });
    m_options.forEach([&records](Option *option) { records.append(option); });
    m_backgrounds.forEach([&records](CustomBackground *background) { records.append(background); });
    m_profiles.clear();
    m_options.clear();
    m_backgrounds.clear();
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    for (ModelRecord *record : std::as_const(records))
        record->m_context = nullptr;
    qDeleteAll(records);
    // Statements first: a connection with statements left open cannot be closed.
    m_statements.clear();
    sqlite3_close(m_database);
}

SqliteStatement::Use ModelContext::statement(const char *sql)
{
    auto found = m_statements.find(sql);
    if (found == m_statements.end())
        found = m_statements.emplace(sql, std::make_unique<SqliteStatement>(m_database, sql)).first;
    return SqliteStatement::Use(*found->second);
}

void ModelContext::execSql(const char *sql, const char *what)
{
    if (sqlite3_exec(m_database, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        failed(QString::fromUtf8(what), m_database);
}

void ModelContext::createSchema()
{
    // A new store has no metadata table yet. Only that makes it new: a store whose version cannot be
    // read for another reason (busy, damaged) fails here rather than being stamped with this version.
    std::optional<QString> stored;
    SqliteStatement hasMetadata(m_database,
                                "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'metadata'");
    if (hasMetadata.step()) {
        SqliteStatement version(m_database, "SELECT value FROM metadata WHERE key = 'schemaVersion'");
        if (version.step())
            stored = version.text(0);
    }
    if (stored) {
        if (*stored != QLatin1String(ModelContainer::schemaVersion)) {
            throw ModelStoreError(
                ModelError::Code::StoreUnavailable,
                QStringLiteral("The store “%1” has schema version %2; this version "
                               "of the program reads version %3.")
                    .arg(m_container->filePath(), *stored, QLatin1String(ModelContainer::schemaVersion)));
        }
        execSql("PRAGMA journal_mode = WAL", "The store could not run a query");
        return;
    }
    execSql("PRAGMA journal_mode = WAL", "The store could not run a query");
    execSql("BEGIN IMMEDIATE", "The store could not start a transaction");
    try {
        for (const char *sql :
             {"CREATE TABLE IF NOT EXISTS metadata (key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL)",
              "CREATE TABLE IF NOT EXISTS profiles (id INTEGER PRIMARY KEY, "
              "uuid TEXT NOT NULL, name TEXT NOT NULL, isEnabled INTEGER NOT NULL)",
              "CREATE INDEX IF NOT EXISTS profiles_uuid ON profiles (uuid)",
              "CREATE TABLE IF NOT EXISTS options (id INTEGER PRIMARY KEY, \"key\" TEXT NOT NULL, "
              "\"value\" TEXT NOT NULL, isEnabled INTEGER NOT NULL, "
              "profile INTEGER REFERENCES profiles (id) ON DELETE CASCADE, position INTEGER NOT NULL)",
              "CREATE INDEX IF NOT EXISTS options_profile ON options (profile, position)",
              "CREATE TABLE IF NOT EXISTS custom_backgrounds (id INTEGER PRIMARY KEY, uuid TEXT NOT NULL, "
              "type TEXT NOT NULL, backgroundValue TEXT NOT NULL, bookmarkData BLOB)",
              // A link disappears with either end; neither end is changed by the other's deletion.
              "CREATE TABLE IF NOT EXISTS profile_backgrounds ("
              "profile INTEGER NOT NULL REFERENCES profiles (id) ON DELETE CASCADE, "
              "background INTEGER NOT NULL REFERENCES custom_backgrounds (id) ON DELETE CASCADE, "
              "PRIMARY KEY (profile, background))"})
            execSql(sql, "The store could not run a query");
        SqliteStatement version(m_database,
                                "INSERT OR REPLACE INTO metadata (key, value) VALUES ('schemaVersion', ?)");
        version.bind(1, QString::fromLatin1(ModelContainer::schemaVersion));
        version.run();
    } catch (...) {
        sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (sqlite3_exec(m_database, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_database));
        sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        throw ModelStoreError(ModelError::Code::StoreOperationFailed,
                              QStringLiteral("The store could not be created: %1").arg(message));
    }
}

// --- Change tracking ---------------------------------------------------------------------------

void ModelContext::recordChanged(ModelRecord *record)
{
    if (record->m_rowId != 0 && !record->m_deleted)
        m_updated.insert(record);
}

void ModelContext::forget(ModelRecord *record)
{
    bool known = m_inserted.removeAll(record) > 0;
    known = m_updated.remove(record) || known;
    known = m_deleted.remove(record) || known;
    if (record->m_rowId != 0) {
        if (static_cast<ModelRecord *>(m_profiles.value(record->m_rowId)) == record)
            known = m_profiles.remove(record->m_rowId) || known;
        if (static_cast<ModelRecord *>(m_options.value(record->m_rowId)) == record)
            known = m_options.remove(record->m_rowId) || known;
        if (static_cast<ModelRecord *>(m_backgrounds.value(record->m_rowId)) == record)
            known = m_backgrounds.remove(record->m_rowId) || known;
    }
    // A record forgotten before (a deletion that was saved, its object now destroyed) changes
    // nothing that the last fetch gave: every deletion would otherwise cost a fetch of everything.
    if (known)
        m_storedProfilesVersion.reset();
}

void ModelContext::announce()
{
    if (m_insertDepth != 0)
        return;
    emit objectsChanged();
    if (m_profilesTouched) {
        m_profilesTouched = false;
        emit profilesChanged();
    }
}

void ModelContext::insert(ModelRecord *record)
{
    if (!record || record->m_context == this)
        return;
    if (record->m_context) {
        qWarning("A record of another context cannot be inserted; it was left where it is.");
        return;
    }
    ++m_insertDepth;
    record->m_context = this;
    // From now on the context owns the record (see rowObject).
    record->setParent(nullptr);
    m_inserted.append(record);
    if (auto *profile = qobject_cast<Profile *>(record)) {
        m_profilesTouched = true;
        for (Option *option : profile->options())
            insert(option);
        for (CustomBackground *background : profile->backgrounds())
            insert(background);
    } else if (auto *option = qobject_cast<Option *>(record)) {
        if (option->profile())
            insert(option->profile());
    } else if (auto *background = qobject_cast<CustomBackground *>(record)) {
        for (Profile *profile : background->profiles())
            insert(profile);
    }
    --m_insertDepth;
    announce();
}

void ModelContext::remove(ModelRecord *record)
{
    if (!record || record->m_context != this || record->m_deleted)
        return;
    ++m_insertDepth;
    if (auto *profile = qobject_cast<Profile *>(record)) {
        m_profilesTouched = true;
        const QList<Option *> options = profile->options();
        for (Option *option : options)
            remove(option);
        const QList<CustomBackground *> backgrounds = profile->backgrounds();
        for (CustomBackground *background : backgrounds)
            profile->removeBackground(background);
    } else if (auto *option = qobject_cast<Option *>(record)) {
        option->setProfile(nullptr);
    } else if (auto *background = qobject_cast<CustomBackground *>(record)) {
        const QList<Profile *> profiles = background->profiles();
        for (Profile *profile : profiles)
            profile->removeBackground(background);
    }
    record->m_deleted = true;
    // The last fetch holds no deleted profile, so that answering from it is a copy of the list.
    if (auto *profile = qobject_cast<Profile *>(record))
        m_storedProfiles.removeOne(profile);
    m_updated.remove(record);
    if (record->m_rowId == 0) {
        m_inserted.removeAll(record);
        record->deleteLater();
    } else {
        m_deleted.insert(record);
    }
    --m_insertDepth;
    announce();
}

bool ModelContext::hasChanges() const
{
    return !m_inserted.isEmpty() || !m_updated.isEmpty() || !m_deleted.isEmpty();
}

// --- Saving ------------------------------------------------------------------------------------

qint64 ModelContext::idOf(const ModelRecord *record, const QHash<ModelRecord *, qint64> &newIds) const
{
    if (!record)
        return 0;
    if (record->m_rowId != 0)
        return record->m_rowId;
    return newIds.value(const_cast<ModelRecord *>(record), 0);
}

// Binds the stored columns of `fields` of a record (all of them for an insert), from the first
// parameter on, in the order of the insert and update statements; gives how many were bound.
int ModelContext::bindValues(SqliteStatement &statement, ModelRecord *record,
                             const QHash<ModelRecord *, qint64> &newIds, quint8 fields) const
{
    int parameter = 0;
    if (auto *profile = qobject_cast<Profile *>(record)) {
        if (fields & Profile::uuidField)
            statement.bind(++parameter, profile->uuid());
        if (fields & Profile::nameField)
            statement.bind(++parameter, profile->name());
        if (fields & Profile::enabledField)
            statement.bind(++parameter, qint64(profile->isEnabled() ? 1 : 0));
        return parameter;
    }
    if (auto *background = qobject_cast<CustomBackground *>(record)) {
        if (fields & CustomBackground::uuidField)
            statement.bind(++parameter, background->uuid());
        if (fields & CustomBackground::typeField)
            statement.bind(++parameter, background->type());
        if (fields & CustomBackground::valueField)
            statement.bind(++parameter, background->backgroundValue());
        if (fields & CustomBackground::bookmarkField)
            statement.bind(++parameter, background->bookmarkData());
        return parameter;
    }
    auto *option = qobject_cast<Option *>(record);
    Q_ASSERT(option);
    if (fields & Option::keyField)
        statement.bind(++parameter, option->key());
    if (fields & Option::valueField)
        statement.bind(++parameter, option->value());
    if (fields & Option::enabledField)
        statement.bind(++parameter, qint64(option->isEnabled() ? 1 : 0));
    if (fields & Option::placeField) {
        if (const qint64 profileId = idOf(option->profile(), newIds))
            statement.bind(++parameter, profileId);
        else
            statement.bindNull(++parameter);
        statement.bind(++parameter,
                       qint64(option->profile() ? option->profile()->options().indexOf(option) : 0));
    }
    return parameter;
}

void ModelContext::writeInsert(ModelRecord *record, QHash<ModelRecord *, qint64> &newIds)
{
    const char *sql = qobject_cast<Profile *>(record) ? StoreQueries::insertProfile
        : qobject_cast<Option *>(record)              ? StoreQueries::insertOption
                                                      : StoreQueries::insertBackground;
    SqliteStatement::Use insert = statement(sql);
    bindValues(*insert, record, newIds, allFields);
    insert->run();
    newIds.insert(record, sqlite3_last_insert_rowid(m_database));
}

void ModelContext::writeUpdate(ModelRecord *record, const QHash<ModelRecord *, qint64> &newIds, quint8 fields)
{
    const bool isOption = qobject_cast<Option *>(record);
    const StoreQueries::Columns &columns = qobject_cast<Profile *>(record) ? StoreQueries::profileColumns
        : isOption                                                         ? StoreQueries::optionColumns
                                                                           : StoreQueries::backgroundColumns;
    QByteArray set;
    const auto add = [&set](const char *column) {
        set += set.isEmpty() ? "" : ", ";
        set += column;
        set += " = ?";
    };
    for (int field = 0; field < 4 && columns.names[field]; ++field) {
        if (!(fields & (1 << field)))
            continue;
        add(columns.names[field]);
        // An option's place is its profile and its position there.
        if (isOption && quint8(1 << field) == Option::placeField)
            add(columns.names[field + 1]);
    }
    if (set.isEmpty())
        return;
    SqliteStatement::Use update =
        statement((QByteArray("UPDATE ") + columns.table + " SET " + set + " WHERE id = ?").constData());
    update->bind(bindValues(*update, record, newIds, fields) + 1, record->m_rowId);
    update->run();
}

void ModelContext::writeLinks(Profile *profile, const QHash<ModelRecord *, qint64> &newIds,
                              const QSet<const ModelRecord *> &gone)
{
    const qint64 profileId = idOf(profile, newIds);
    // Of a stored profile, only the links made or undone here: one that another writer made meanwhile
    // stays, and one it undid is not made again.
    QList<const CustomBackground *> linked(profile->backgrounds().cbegin(), profile->backgrounds().cend());
    if (profile->m_rowId != 0) {
        linked = {profile->m_linksAdded.cbegin(), profile->m_linksAdded.cend()};
        SqliteStatement::Use unlink =
            statement("DELETE FROM profile_backgrounds WHERE profile = ? AND background = ?");
        for (const CustomBackground *background : std::as_const(profile->m_linksRemoved)) {
            if (!background || background->m_rowId == 0)
                continue;
            unlink->bind(1, profileId);
            unlink->bind(2, background->m_rowId);
            unlink->run();
        }
    }
    SqliteStatement::Use link =
        statement("INSERT OR IGNORE INTO profile_backgrounds (profile, background) VALUES (?, ?)");
    for (const CustomBackground *background : std::as_const(linked)) {
        const qint64 backgroundId = idOf(background, newIds);
        if (!backgroundId || gone.contains(background) || !profile->backgrounds().contains(background))
            continue;
        link->bind(1, profileId);
        link->bind(2, backgroundId);
        link->run();
    }
}

// Many rows go through one statement per chunk: a restore that replaces a large library deletes
// tens of thousands of them.
void ModelContext::deleteRows(const char *table, const QList<qint64> &ids)
{
    constexpr qsizetype chunk = 256;
    qsizetype done = 0;
    if (ids.size() >= chunk) {
        QByteArray sql = QByteArray("DELETE FROM ") + table + " WHERE id IN (?";
        for (qsizetype i = 1; i < chunk; ++i)
            sql += ",?";
        sql += ')';
        SqliteStatement::Use deletion = statement(sql.constData());
        for (; done + chunk <= ids.size(); done += chunk) {
            for (qsizetype i = 0; i < chunk; ++i)
                deletion->bind(int(i + 1), ids[done + i]);
            deletion->run();
        }
    }
    if (done == ids.size())
        return;
    SqliteStatement::Use deletion =
        statement((QByteArray("DELETE FROM ") + table + " WHERE id = ?").constData());
    for (; done < ids.size(); ++done) {
        deletion->bind(1, ids[done]);
        deletion->run();
    }
}

QSet<const ModelRecord *> ModelContext::vanished(const QSet<const ModelRecord *> &records)
{
    QSet<const ModelRecord *> gone;
    for (const ModelRecord *record : records) {
        const char *sql = qobject_cast<const Profile *>(record) ? "SELECT 1 FROM profiles WHERE id = ?"
            : qobject_cast<const Option *>(record)              ? "SELECT 1 FROM options WHERE id = ?"
                                                   : "SELECT 1 FROM custom_backgrounds WHERE id = ?";
        SqliteStatement::Use query = statement(sql);
        query->bind(1, record->m_rowId);
        if (!query->step())
            gone.insert(record);
    }
    return gone;
}

void ModelContext::save()
{
    if (!hasChanges())
        return;
    if (m_container && m_container->isMerging()) {
        m_container->saveAfterMerges(this);
        return;
    }
    write();
}

void ModelContext::followMoves(const RowMoves &moves)
{
    if (moves.profiles.isEmpty() && moves.options.isEmpty() && moves.backgrounds.isEmpty()
        && moves.droppedOptions.isEmpty())
        return;
    // All leave their rows first: a row a record moves to may be one another record moves from.
    const auto moveRows = [this](auto &map, const QHash<qint64, qint64> &rows) {
        using Record = std::remove_pointer_t<decltype(map.value(0))>;
        QList<std::pair<Record *, qint64>> moved;
        for (auto it = rows.constBegin(); it != rows.constEnd(); ++it) {
            if (Record *record = map.value(it.key())) {
                map.remove(it.key());
                moved.append({record, it.value()});
            }
        }
        for (const auto &[record, row] : std::as_const(moved)) {
            if (Record *other = map.value(row)) {
                // The record of a row deleted meanwhile: never written again, least of all into the
                // row that is another record's now.
                m_updated.remove(other);
                m_deleted.remove(other);
                other->m_rowId = 0;
                m_displaced.append(other);
            }
            record->m_rowId = row;
            map.insert(row, record);
        }
    };
    moveRows(m_profiles, moves.profiles);
    moveRows(m_options, moves.options);
    moveRows(m_backgrounds, moves.backgrounds);
    // An option changed here whose row the merge dropped from its profile is kept: it becomes a new
    // option of that profile; one only moved in its list goes with its row, and one deleted here stays
    // deleted.
    for (const qint64 row : moves.droppedOptions) {
        Option *option = m_options.value(row);
        if (!option || !(option->m_changedFields & ~Option::placeField) || option->m_deleted
            || !option->profile())
            continue;
        m_options.remove(row);
        m_updated.remove(option);
        option->m_rowId = 0;
        m_inserted.append(option);
        // After the options the profile holds now, as a new option of a profile goes.
        Profile *profile = option->profile();
        profile->m_options.removeAll(option);
        profile->m_options.append(option);
        emit profile->optionsChanged();
    }
    m_storedProfilesVersion.reset();
}

void ModelContext::write()
{
    if (!hasChanges())
        return;
    // A save of this connection leaves the data version as it is; the last fetch of all profiles
    // stays good when nobody else wrote since it, and is brought up to this save below.
    std::optional<qint64> storedProfilesVersion = m_storedProfilesVersion;
    if (storedProfilesVersion && *storedProfilesVersion != dataVersion())
        storedProfilesVersion.reset();
    m_storedProfilesVersion.reset();
    // Immediate: the write lock is taken (or waited for) now, so a save never fails halfway
    // because another context wrote in between.
    execSql("BEGIN IMMEDIATE", "The store could not start a transaction");

    QHash<ModelRecord *, qint64> newIds;
    newIds.reserve(m_inserted.size());
    QSet<Profile *> linkProfiles;
    QSet<ModelRecord *> updates = m_updated;
    // The stored options of a profile whose list changed here: each takes its place in the list, and
    // only the fields changed here are written besides, so that what another connection stored in
    // them (a merge) stays.
    QSet<Option *> placed;
    try {
        for (ModelRecord *record : std::as_const(m_inserted)) {
            if (auto *profile = qobject_cast<Profile *>(record); profile && !profile->backgrounds().isEmpty())
                linkProfiles.insert(profile);
        }
        for (ModelRecord *record : std::as_const(m_updated)) {
            auto *profile = qobject_cast<Profile *>(record);
            if (!profile)
                continue;
            if (profile->m_optionOrderDirty) {
                // Positions follow the list: every stored option of the profile takes its place.
                for (Option *option : profile->options()) {
                    if (option->m_rowId != 0)
                        placed.insert(option);
                }
            }
            if (profile->m_backgroundLinksDirty)
                linkProfiles.insert(profile);
        }
        // Another connection may have deleted rows this save names (a restore replaced or moved
        // their records): they are looked for before anything is written, so that no row this save
        // adds is taken for one of them, and nothing is written into them or naming them.
        QSet<const ModelRecord *> named;
        const auto name = [&named](const ModelRecord *record) {
            if (record && record->m_rowId != 0)
                named.insert(record);
        };
        for (const ModelRecord *record : std::as_const(updates)) {
            name(record);
            if (auto *option = qobject_cast<const Option *>(record))
                name(option->profile());
        }
        for (const Option *option : std::as_const(placed)) {
            name(option);
            name(option->profile());
        }
        for (const ModelRecord *record : std::as_const(m_inserted)) {
            if (auto *option = qobject_cast<const Option *>(record))
                name(option->profile());
        }
        for (const Profile *profile : std::as_const(linkProfiles)) {
            name(profile);
            for (const CustomBackground *background : profile->backgrounds())
                name(background);
        }
        const QSet<const ModelRecord *> gone = vanished(named);
        const auto writable = [&gone](const ModelRecord *record) {
            const auto *option = qobject_cast<const Option *>(record);
            return !gone.contains(record) && !(option && gone.contains(option->profile()));
        };
        {
            QList<qint64> profiles;
            QList<qint64> options;
            QList<qint64> backgrounds;
            for (ModelRecord *record : std::as_const(m_deleted)) {
                QList<qint64> &ids = qobject_cast<Profile *>(record) ? profiles
                    : qobject_cast<Option *>(record)                 ? options
                                                                     : backgrounds;
                ids.append(record->m_rowId);
            }
            deleteRows("profiles", profiles);
            deleteRows("options", options);
            deleteRows("custom_backgrounds", backgrounds);
        }
        // Owners first, so that options and links can name their rows.
        for (ModelRecord *record : std::as_const(m_inserted)) {
            if (!qobject_cast<Option *>(record))
                writeInsert(record, newIds);
        }
        for (ModelRecord *record : std::as_const(m_inserted)) {
            if (qobject_cast<Option *>(record) && writable(record))
                writeInsert(record, newIds);
        }
        // Only what was changed here: a field a merge wrote meanwhile keeps what it wrote.
        for (ModelRecord *record : std::as_const(updates)) {
            if (!record->m_deleted && record->m_rowId != 0 && writable(record))
                writeUpdate(record, newIds,
                            record->m_changedFields
                                | (placed.contains(qobject_cast<Option *>(record)) ? Option::placeField : 0));
        }
        for (Option *option : std::as_const(placed)) {
            if (!option->m_deleted && !updates.contains(option) && writable(option))
                writeUpdate(option, newIds, Option::placeField);
        }
        for (Profile *profile : std::as_const(linkProfiles)) {
            if (!gone.contains(profile))
                writeLinks(profile, newIds, gone);
        }
    } catch (...) {
        sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (sqlite3_exec(m_database, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_database));
        sqlite3_exec(m_database, "ROLLBACK", nullptr, nullptr, nullptr);
        throw ModelStoreError(ModelError::Code::StoreOperationFailed,
                              QStringLiteral("The store could not save: %1").arg(message));
    }

    for (auto it = newIds.constBegin(); it != newIds.constEnd(); ++it)
        adopt(it.key(), it.value());
    for (const auto &records : {m_inserted, QList<ModelRecord *>(m_updated.cbegin(), m_updated.cend())}) {
        for (ModelRecord *record : records) {
            record->m_changedFields = 0;
            if (auto *profile = qobject_cast<Profile *>(record)) {
                profile->m_optionOrderDirty = false;
                profile->m_backgroundLinksDirty = false;
                profile->m_linksAdded.clear();
                profile->m_linksRemoved.clear();
            }
        }
    }
    const QSet<ModelRecord *> deleted = m_deleted;
    const QList<ModelRecord *> inserted = m_inserted;
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    for (ModelRecord *record : deleted) {
        forget(record);
        record->deleteLater();
    }
    if (storedProfilesVersion) {
        // Deleted rows are gone; inserted ones follow, their rows numbered after every other.
        m_storedProfiles.removeIf([&deleted](Profile *profile) { return deleted.contains(profile); });
        for (ModelRecord *record : inserted) {
            if (auto *profile = qobject_cast<Profile *>(record))
                m_storedProfiles.append(profile);
        }
        m_storedProfilesVersion = storedProfilesVersion;
    }
    emit didSave();
    emit objectsChanged();
    m_profilesTouched = false;
    emit profilesChanged();
    if (m_container)
        m_container->contextSaved(this);
}

void ModelContext::adopt(ModelRecord *record, qint64 rowId)
{
    record->m_rowId = rowId;
    if (auto *profile = qobject_cast<Profile *>(record))
        m_profiles.insert(rowId, profile);
    else if (auto *option = qobject_cast<Option *>(record))
        m_options.insert(rowId, option);
    else if (auto *background = qobject_cast<CustomBackground *>(record))
        m_backgrounds.insert(rowId, background);
}

// --- Fetching ----------------------------------------------------------------------------------

template<typename T> T *ModelContext::rowObject(RowIdentityMap<T> &map, qint64 id, bool &fresh, bool &refresh)
{
    T *record = map.value(id);
    if (!record) {
        // Owned through the identity map rather than as a QObject child: parenting tens of
        // thousands of records one by one costs more than the rest of a fetch.
        if constexpr (std::is_same_v<T, Profile>)
            record = new Profile(Profile::StoredRow {});
        else
            record = new T();
        record->m_context = this;
        record->m_rowId = id;
        map.insert(id, record);
        fresh = true;
        refresh = true;
        return record;
    }
    fresh = false;
    // A record changed here keeps its unsaved values, field by field (see the materialize functions).
    refresh = !record->m_deleted;
    return record;
}

// A record made for the row is filled directly: nobody can be listening to it yet. A record handed
// out before goes through its setters, which tell its observers what the store changed.

Profile *ModelContext::materializeProfile(const SqliteStatement &row)
{
    bool fresh = false;
    bool refresh = false;
    Profile *profile = rowObject(m_profiles, row.int64(0), fresh, refresh);
    if (fresh) {
        profile->m_uuid = row.text(1);
        profile->m_name = row.text(2);
        profile->m_isEnabled = row.int64(3) != 0;
    } else if (refresh) {
        LoadingScope loading(profile->m_loadingFromStore);
        const quint8 kept = profile->m_changedFields;
        if (!(kept & Profile::uuidField))
            profile->setUuid(row.text(1));
        if (!(kept & Profile::nameField))
            profile->setName(row.text(2));
        if (!(kept & Profile::enabledField))
            profile->setEnabled(row.int64(3) != 0);
    }
    return profile;
}

Option *ModelContext::materializeOption(const SqliteStatement &row, int first, const QString &key)
{
    bool fresh = false;
    bool refresh = false;
    Option *option = rowObject(m_options, row.int64(first), fresh, refresh);
    if (fresh) {
        option->m_key = key;
        option->m_value = row.text(first + 2);
        option->m_isEnabled = row.int64(first + 3) != 0;
    } else if (refresh) {
        LoadingScope loading(option->m_loadingFromStore);
        const quint8 kept = option->m_changedFields;
        if (!(kept & Option::keyField))
            option->setKey(key);
        if (!(kept & Option::valueField))
            option->setValue(row.text(first + 2));
        if (!(kept & Option::enabledField))
            option->setEnabled(row.int64(first + 3) != 0);
    }
    return option;
}

CustomBackground *ModelContext::materializeBackground(const SqliteStatement &row, int first)
{
    bool fresh = false;
    bool refresh = false;
    CustomBackground *background = rowObject(m_backgrounds, row.int64(first), fresh, refresh);
    if (fresh) {
        background->m_uuid = row.text(first + 1);
        background->m_type = row.text(first + 2);
        background->m_backgroundValue = row.text(first + 3);
        background->m_bookmarkData = row.blob(first + 4);
    } else if (refresh) {
        LoadingScope loading(background->m_loadingFromStore);
        const quint8 kept = background->m_changedFields;
        if (!(kept & CustomBackground::uuidField))
            background->setUuid(row.text(first + 1));
        if (!(kept & CustomBackground::typeField))
            background->setType(row.text(first + 2));
        if (!(kept & CustomBackground::valueField))
            background->setBackgroundValue(row.text(first + 3));
        if (!(kept & CustomBackground::bookmarkField))
            background->setBookmarkData(row.blob(first + 4));
    }
    return background;
}

QList<Profile *> ModelContext::fetchProfiles()
{
    return fetchProfilesWhere(nullptr);
}

QList<Profile *> ModelContext::fetchProfiles(const QString &uuid)
{
    return fetchProfilesWhere(&uuid);
}

qint64 ModelContext::dataVersion()
{
    // Changes only when another connection commits; this context's own saves are tracked by save().
    SqliteStatement::Use query = statement("PRAGMA data_version");
    if (!query->step())
        throw ModelStoreError(ModelError::Code::StoreOperationFailed,
                              QStringLiteral("The store could not run a query: %1")
                                  .arg(QString::fromUtf8(sqlite3_errmsg(m_database))));
    return query->int64(0);
}

void ModelContext::followEndedMerges()
{
    // A merge may have written the store before its end was handled: what it wrote is read at the
    // rows it moved the records to, never as rows of no record.
    if (m_container)
        m_container->followEndedMerges();
}

QList<Profile *> ModelContext::fetchProfilesWhere(const QString *uuid)
{
    followEndedMerges();
    QList<Profile *> stored;
    const std::optional<qint64> version = uuid ? std::nullopt : std::optional(dataVersion());
    if (version && m_storedProfilesVersion == version) {
        stored = m_storedProfiles;
    } else {
        {
            SqliteStatement::Use query =
                statement(uuid ? "SELECT id, uuid, name, isEnabled FROM profiles WHERE uuid = ? ORDER BY id"
                               : StoreQueries::allProfiles);
            if (uuid)
                query->bind(1, *uuid);
            while (query->step()) {
                Profile *profile = materializeProfile(*query);
                if (!profile->m_deleted)
                    stored.append(profile);
            }
        }
        if (!stored.isEmpty()) {
            loadOptions(stored, uuid == nullptr);
            loadBackgroundLinks(stored);
        }
        if (version) {
            m_storedProfiles = stored;
            m_storedProfilesVersion = version;
        }
    }
    for (ModelRecord *record : std::as_const(m_inserted)) {
        auto *profile = qobject_cast<Profile *>(record);
        if (profile && (!uuid || profile->uuid() == *uuid))
            stored.append(profile);
    }
    return stored;
}

void ModelContext::loadOptions(const QList<Profile *> &profiles, bool all)
{
    // The profiles come in row order, as the store lists them: a row's profile is found by halving,
    // and what is read for it is kept at the profile's place.
    const auto placeOfRow = [&profiles](qint64 id) -> qsizetype {
        const auto found =
            std::lower_bound(profiles.cbegin(), profiles.cend(), id,
                             [](const Profile *profile, qint64 id) { return profile->m_rowId < id; });
        return found != profiles.cend() && (*found)->m_rowId == id ? found - profiles.cbegin() : -1;
    };
    struct Loaded
    {
        QList<Option *> options;
        // The store listed options for the profile.
        bool read = false;
        // Some option object belonged to another profile when it was read.
        bool moved = false;
    };
    std::vector<Loaded> lists(size_t(profiles.size()));
    const auto wasRead = [&](const Profile *profile) {
        const qsizetype place = placeOfRow(profile->m_rowId);
        return place >= 0 && profiles[place] == profile && lists[size_t(place)].read;
    };
    // Rows come grouped by profile, in list order.
    RepeatedTexts keys;
    const auto readRows = [&placeOfRow, &lists, &keys, &profiles, this](SqliteStatement &query) {
        Profile *current = nullptr;
        qint64 currentId = -1;
        Loaded *loaded = nullptr;
        qsizetype place = 0;
        qsizetype lastSize = 0;
        while (query.step()) {
            const qint64 profileId = query.int64(4);
            if (profileId != currentId) {
                currentId = profileId;
                const qsizetype found = placeOfRow(profileId);
                current = found < 0 ? nullptr : profiles[found];
                // A profile whose list was changed here keeps its unsaved list.
                if (current && (current->m_optionOrderDirty || current->m_deleted))
                    current = nullptr;
                if (loaded)
                    lastSize = loaded->options.size();
                loaded = current ? &lists[size_t(found)] : nullptr;
                if (loaded) {
                    loaded->read = true;
                    // Profiles of one store mostly hold the same number of options.
                    loaded->options.reserve(lastSize);
                }
                place = 0;
            }
            if (!loaded)
                continue;
            Option *option = materializeOption(query, 0, keys.text(query, 1, place++));
            if (option->m_deleted)
                continue;
            loaded->options.append(option);
            // An option of no profile (every new one) joins this one now, while the object is at
            // hand; one of another profile leaves that below.
            if (!option->m_profile)
                option->m_profile = current;
            else if (option->m_profile != current)
                loaded->moved = true;
        }
    };
    try {
        if (all) {
            SqliteStatement::Use query = statement(StoreQueries::allListedOptions);
            readRows(*query);
        } else {
            SqliteStatement::Use query =
                statement("SELECT id, \"key\", \"value\", isEnabled, profile FROM options "
                          "WHERE profile = ? ORDER BY position, id");
            for (const Profile *profile : profiles) {
                query->bind(1, profile->persistentId());
                readRows(*query);
                query->reset();
            }
        }
    } catch (...) {
        // No list changes when the store fails to answer: an option and its profile's list agree.
        for (qsizetype p = 0; p < profiles.size(); ++p) {
            Profile *profile = profiles[p];
            for (Option *option : lists[size_t(p)].options) {
                if (option->m_profile == profile && !profile->m_options.contains(option))
                    option->m_profile = nullptr;
            }
        }
        throw;
    }
    // Options not saved yet of a profile whose list is read (a change of an option a merge dropped,
    // see followMoves) stay in it, after the stored ones.
    QHash<const Profile *, QList<Option *>> unsaved;
    for (ModelRecord *record : std::as_const(m_inserted)) {
        auto *option = qobject_cast<Option *>(record);
        if (option && option->m_profile && option->m_profile->m_rowId != 0)
            unsaved[option->m_profile].append(option);
    }
    QSet<Profile *> formerOwners;
    for (qsizetype p = 0; p < profiles.size(); ++p) {
        Profile *profile = profiles[p];
        if (profile->m_optionOrderDirty)
            continue;
        Loaded &loaded = lists[size_t(p)];
        if (const auto pending = unsaved.constFind(profile); pending != unsaved.cend())
            loaded.options.append(*pending);
        const QList<Option *> &list = loaded.options;
        // Another context deleted a profile and the store gave its option rows to new ones: an
        // option object that moves on must leave the list of the profile it belonged to, or that
        // profile would keep it after it is deleted and freed.
        for (qsizetype i = 0; loaded.moved && i < list.size(); ++i) {
            Option *option = list[i];
            Profile *former = option->m_profile;
            if (former && former != profile && !wasRead(former) && former->m_options.removeAll(option))
                formerOwners.insert(former);
            option->m_profile = profile;
        }
        // Sizes first: Qt compares two empty lists' storage with memcmp, even when one has none.
        if (list.size() == profile->m_options.size() && (list.isEmpty() || list == profile->m_options))
            continue;
        for (Option *option : std::as_const(profile->m_options)) {
            if (!list.contains(option) && option->m_profile == profile)
                option->m_profile = nullptr;
        }
        profile->m_options = list;
        emit profile->optionsChanged();
    }
    for (Profile *former : std::as_const(formerOwners))
        emit former->optionsChanged();
}

void ModelContext::loadBackgroundLinks(const QList<Profile *> &profiles)
{
    QHash<Profile *, QList<CustomBackground *>> lists;
    {
        SqliteStatement::Use query =
            statement("SELECT l.profile, b.id, b.uuid, b.type, b.backgroundValue, b.bookmarkData "
                      "FROM profile_backgrounds l "
                      "JOIN custom_backgrounds b ON b.id = l.background ORDER BY l.rowid");
        while (query->step()) {
            Profile *profile = m_profiles.value(query->int64(0));
            if (!profile)
                continue;
            CustomBackground *background = materializeBackground(*query, 1);
            if (!background->m_deleted)
                lists[profile].append(background);
        }
    }
    for (Profile *profile : profiles) {
        QList<CustomBackground *> list = lists.value(profile);
        // Links made or undone here and not yet saved stay so over what the store holds.
        if (profile->m_backgroundLinksDirty) {
            list.removeIf([profile](CustomBackground *background) {
                return profile->m_linksRemoved.contains(background);
            });
            for (CustomBackground *background : std::as_const(profile->m_linksAdded)) {
                if (background && !background->m_deleted && !list.contains(background))
                    list.append(background);
            }
        }
        // Sizes first, as for options.
        if (list.size() == profile->m_backgrounds.size()
            && (list.isEmpty() || list == profile->m_backgrounds))
            continue;
        for (CustomBackground *background : std::as_const(profile->m_backgrounds)) {
            if (!list.contains(background))
                background->m_profiles.removeAll(profile);
        }
        for (CustomBackground *background : list) {
            if (!background->m_profiles.contains(profile))
                background->m_profiles.append(profile);
        }
        profile->m_backgrounds = list;
        emit profile->backgroundsChanged();
    }
}

QList<Option *> ModelContext::fetchOptions()
{
    QList<Option *> result;
    for (Profile *profile : fetchProfiles()) {
        for (Option *option : profile->options()) {
            if (option->m_rowId != 0)
                result.append(option);
        }
    }
    {
        SqliteStatement::Use orphans = statement(
            "SELECT id, \"key\", \"value\", isEnabled FROM options WHERE profile IS NULL ORDER BY id");
        while (orphans->step()) {
            Option *option = materializeOption(*orphans, 0, orphans->text(1));
            if (!option->m_deleted && !option->profile())
                result.append(option);
        }
    }
    std::sort(result.begin(), result.end(),
              [](const Option *a, const Option *b) { return a->persistentId() < b->persistentId(); });
    for (ModelRecord *record : std::as_const(m_inserted)) {
        if (auto *option = qobject_cast<Option *>(record))
            result.append(option);
    }
    return result;
}

QList<CustomBackground *> ModelContext::fetchBackgroundsWhere(const char *sql, const QString *value,
                                                              bool byType)
{
    followEndedMerges();
    QList<CustomBackground *> result;
    {
        SqliteStatement::Use query = statement(sql);
        if (value)
            query->bind(1, *value);
        while (query->step()) {
            CustomBackground *background = materializeBackground(*query, 0);
            if (!background->m_deleted)
                result.append(background);
        }
    }
    for (ModelRecord *record : std::as_const(m_inserted)) {
        auto *background = qobject_cast<CustomBackground *>(record);
        if (background && (!value || (byType ? background->type() : background->uuid()) == *value))
            result.append(background);
    }
    return result;
}

QList<CustomBackground *> ModelContext::fetchBackgrounds()
{
    return fetchBackgroundsWhere(StoreQueries::allBackgrounds, nullptr, false);
}

QList<CustomBackground *> ModelContext::fetchBackgroundsOfType(const QString &type)
{
    return fetchBackgroundsWhere(
        "SELECT id, uuid, type, backgroundValue, bookmarkData FROM custom_backgrounds "
        "WHERE type = ? ORDER BY id",
        &type, true);
}

QList<CustomBackground *> ModelContext::fetchBackgroundsWithUuid(const QString &uuid)
{
    return fetchBackgroundsWhere(
        "SELECT id, uuid, type, backgroundValue, bookmarkData FROM custom_backgrounds "
        "WHERE uuid = ? ORDER BY id",
        &uuid, false);
}
