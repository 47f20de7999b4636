#include "Tapestrel/model/ModelContext.h"

#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include <QAtomicInt>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {

QAtomicInt connectionCounter;

[[noreturn]] void failed(const QString &what, const QSqlError &error)
{
    throw ModelStoreError(ModelError::Code::StoreOperationFailed,
                          QStringLiteral("%1: %2").arg(what, error.text()));
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

QString idList(const QList<Profile *> &profiles)
{
    QStringList ids;
    ids.reserve(profiles.size());
    for (const Profile *profile : profiles)
        ids.append(QString::number(profile->persistentId()));
    return ids.join(u',');
}

} // namespace

ModelContext::ModelContext(ModelContainer &container)
    : m_container(&container)
    , m_connectionName(QStringLiteral("tapestrel-model-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
    QString openError;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(container.filePath());
        if (!db.open()) {
            openError = db.lastError().text();
        } else {
            // Reading the schema is the first access to the file's pages: a file that is not a
            // database fails here, before anything could be written to it.
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))
                || !probe.exec(QStringLiteral("PRAGMA foreign_keys = ON"))
                || !probe.exec(QStringLiteral("PRAGMA busy_timeout = 5000"))
                // With the write-ahead log this keeps the file consistent after a crash or power
                // loss; only the last commits before a power loss may be missing.
                || !probe.exec(QStringLiteral("PRAGMA synchronous = NORMAL")))
                openError = probe.lastError().text();
        }
        if (!openError.isEmpty())
            db.close();
    }
    if (!openError.isEmpty()) {
        QSqlDatabase::removeDatabase(m_connectionName);
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
    for (Profile *profile : std::as_const(m_profiles))
        records.append(profile);
    for (Option *option : std::as_const(m_options))
        records.append(option);
    for (CustomBackground *background : std::as_const(m_backgrounds))
        records.append(background);
    m_profiles.clear();
    m_options.clear();
    m_backgrounds.clear();
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    for (ModelRecord *record : std::as_const(records))
        record->m_context = nullptr;
    qDeleteAll(records);
    {
        QSqlDatabase db = database();
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase ModelContext::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

QSqlQuery ModelContext::prepare(const QString &sql) const
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        failed(QStringLiteral("The store could not prepare a query"), query.lastError());
    return query;
}

void ModelContext::exec(QSqlQuery &query) const
{
    if (!query.exec())
        failed(QStringLiteral("The store could not run a query"), query.lastError());
}

void ModelContext::execSql(const QString &sql) const
{
    QSqlQuery query(database());
    if (!query.exec(sql))
        failed(QStringLiteral("The store could not run a query"), query.lastError());
}

void ModelContext::createSchema()
{
    try {
        QSqlQuery version = prepare(QStringLiteral("SELECT value FROM metadata WHERE key = 'schemaVersion'"));
        if (version.exec() && version.next()) {
            const QString stored = version.value(0).toString();
            if (stored != QLatin1String(ModelContainer::schemaVersion)) {
                throw ModelStoreError(
                    ModelError::Code::StoreUnavailable,
                    QStringLiteral("The store “%1” has schema version %2; this version "
                                   "of the program reads version %3.")
                        .arg(m_container->filePath(), stored, QLatin1String(ModelContainer::schemaVersion)));
            }
            execSql(QStringLiteral("PRAGMA journal_mode = WAL"));
            return;
        }
    } catch (const ModelStoreError &error) {
        if (error.code() == ModelError::Code::StoreUnavailable)
            throw;
        // No metadata table yet: a new store.
    }
    execSql(QStringLiteral("PRAGMA journal_mode = WAL"));
    QSqlDatabase db = database();
    if (!db.transaction())
        failed(QStringLiteral("The store could not start a transaction"), db.lastError());
    try {
        execSql(QStringLiteral("CREATE TABLE IF NOT EXISTS metadata (key TEXT PRIMARY KEY NOT NULL, "
                               "value TEXT NOT NULL)"));
        execSql(QStringLiteral("CREATE TABLE IF NOT EXISTS profiles (id INTEGER PRIMARY KEY, "
                               "uuid TEXT NOT NULL, name TEXT NOT NULL, isEnabled INTEGER NOT NULL)"));
        execSql(QStringLiteral("CREATE INDEX IF NOT EXISTS profiles_uuid ON profiles (uuid)"));
        execSql(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS options (id INTEGER PRIMARY KEY, \"key\" TEXT NOT NULL, "
            "\"value\" TEXT NOT NULL, isEnabled INTEGER NOT NULL, "
            "profile INTEGER REFERENCES profiles (id) ON DELETE CASCADE, position INTEGER NOT NULL)"));
        execSql(QStringLiteral("CREATE INDEX IF NOT EXISTS options_profile ON options (profile, position)"));
        execSql(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS custom_backgrounds (id INTEGER PRIMARY KEY, uuid TEXT NOT NULL, "
            "type TEXT NOT NULL, backgroundValue TEXT NOT NULL, bookmarkData BLOB)"));
        // A link disappears with either end; neither end is changed by the other's deletion.
        execSql(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS profile_backgrounds ("
            "profile INTEGER NOT NULL REFERENCES profiles (id) ON DELETE CASCADE, "
            "background INTEGER NOT NULL REFERENCES custom_backgrounds (id) ON DELETE CASCADE, "
            "PRIMARY KEY (profile, background))"));
        QSqlQuery version = prepare(
            QStringLiteral("INSERT OR REPLACE INTO metadata (key, value) VALUES ('schemaVersion', ?)"));
        version.addBindValue(QLatin1String(ModelContainer::schemaVersion));
        exec(version);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        failed(QStringLiteral("The store could not be created"), db.lastError());
}

// --- Change tracking ---------------------------------------------------------------------------

void ModelContext::recordChanged(ModelRecord *record)
{
    if (record->m_rowId != 0 && !record->m_deleted)
        m_updated.insert(record);
}

void ModelContext::forget(ModelRecord *record)
{
    m_inserted.removeAll(record);
    m_updated.remove(record);
    m_deleted.remove(record);
    if (record->m_rowId == 0)
        return;
    if (static_cast<ModelRecord *>(m_profiles.value(record->m_rowId)) == record)
        m_profiles.remove(record->m_rowId);
    if (static_cast<ModelRecord *>(m_options.value(record->m_rowId)) == record)
        m_options.remove(record->m_rowId);
    if (static_cast<ModelRecord *>(m_backgrounds.value(record->m_rowId)) == record)
        m_backgrounds.remove(record->m_rowId);
}

void ModelContext::announce()
{
    if (m_insertDepth == 0)
        emit objectsChanged();
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

// The table, the stored columns in order, and their values for one record.
ModelContext::RowValues ModelContext::rowValues(ModelRecord *record,
                                                const QHash<ModelRecord *, qint64> &newIds) const
{
    if (auto *profile = qobject_cast<Profile *>(record)) {
        return {QStringLiteral("profiles"),
                {QStringLiteral("uuid"), QStringLiteral("name"), QStringLiteral("isEnabled")},
                {profile->uuid(), profile->name(), profile->isEnabled() ? 1 : 0}};
    }
    if (auto *background = qobject_cast<CustomBackground *>(record)) {
        return {QStringLiteral("custom_backgrounds"),
                {QStringLiteral("uuid"), QStringLiteral("type"), QStringLiteral("backgroundValue"),
                 QStringLiteral("bookmarkData")},
                {background->uuid(), background->type(), background->backgroundValue(),
                 background->bookmarkData() ? QVariant(*background->bookmarkData())
                                            : QVariant(QMetaType(QMetaType::QByteArray))}};
    }
    auto *option = qobject_cast<Option *>(record);
    Q_ASSERT(option);
    const qint64 profileId = idOf(option->profile(), newIds);
    return {QStringLiteral("options"),
            {QStringLiteral("\"key\""), QStringLiteral("\"value\""), QStringLiteral("isEnabled"),
             QStringLiteral("profile"), QStringLiteral("position")},
            {option->key(), option->value().isNull() ? QStringLiteral("") : option->value(),
             option->isEnabled() ? 1 : 0,
             profileId ? QVariant(profileId) : QVariant(QMetaType(QMetaType::LongLong)),
             option->profile() ? option->profile()->options().indexOf(option) : 0}};
}

void ModelContext::writeInsert(ModelRecord *record, QHash<ModelRecord *, qint64> &newIds)
{
    const RowValues row = rowValues(record, newIds);
    QStringList marks;
    for (qsizetype i = 0; i < row.columns.size(); ++i)
        marks.append(QStringLiteral("?"));
    QSqlQuery query = prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(row.table, row.columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (const QVariant &value : row.values)
        query.addBindValue(value);
    exec(query);
    newIds.insert(record, query.lastInsertId().toLongLong());
}

void ModelContext::writeUpdate(ModelRecord *record, const QHash<ModelRecord *, qint64> &newIds)
{
    const RowValues row = rowValues(record, newIds);
    QStringList assignments;
    for (const QString &column : row.columns)
        assignments.append(column + QStringLiteral(" = ?"));
    QSqlQuery query = prepare(QStringLiteral("UPDATE %1 SET %2 WHERE id = ?")
                                  .arg(row.table, assignments.join(QStringLiteral(", "))));
    for (const QVariant &value : row.values)
        query.addBindValue(value);
    query.addBindValue(record->m_rowId);
    exec(query);
}

void ModelContext::writeLinks(Profile *profile, const QHash<ModelRecord *, qint64> &newIds)
{
    const qint64 profileId = idOf(profile, newIds);
    QSqlQuery clear = prepare(QStringLiteral("DELETE FROM profile_backgrounds WHERE profile = ?"));
    clear.addBindValue(profileId);
    exec(clear);
    for (const CustomBackground *background : profile->backgrounds()) {
        const qint64 backgroundId = idOf(background, newIds);
        if (!backgroundId)
            continue;
        QSqlQuery link = prepare(
            QStringLiteral("INSERT OR IGNORE INTO profile_backgrounds (profile, background) VALUES (?, ?)"));
        link.addBindValue(profileId);
        link.addBindValue(backgroundId);
        exec(link);
    }
}

void ModelContext::save()
{
    if (!hasChanges())
        return;
    QSqlDatabase db = database();
    if (!db.transaction())
        failed(QStringLiteral("The store could not start a transaction"), db.lastError());

    QHash<ModelRecord *, qint64> newIds;
    QSet<Profile *> linkProfiles;
    try {
        for (ModelRecord *record : std::as_const(m_deleted)) {
            const char *table = qobject_cast<Profile *>(record) ? "profiles"
                : qobject_cast<Option *>(record)                ? "options"
                                                                : "custom_backgrounds";
            QSqlQuery query =
                prepare(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(QLatin1String(table)));
            query.addBindValue(record->m_rowId);
            exec(query);
        }
        // Owners first, so that options and links can name their rows.
        for (ModelRecord *record : std::as_const(m_inserted)) {
            if (!qobject_cast<Option *>(record))
                writeInsert(record, newIds);
            if (auto *profile = qobject_cast<Profile *>(record); profile && !profile->backgrounds().isEmpty())
                linkProfiles.insert(profile);
        }
        for (ModelRecord *record : std::as_const(m_inserted)) {
            if (qobject_cast<Option *>(record))
                writeInsert(record, newIds);
        }
        QSet<ModelRecord *> updates = m_updated;
        for (ModelRecord *record : std::as_const(m_updated)) {
            auto *profile = qobject_cast<Profile *>(record);
            if (!profile)
                continue;
            if (profile->m_optionOrderDirty) {
                // Positions follow the list: every stored option of the profile is rewritten.
                for (Option *option : profile->options()) {
                    if (option->m_rowId != 0)
                        updates.insert(option);
                }
            }
            if (profile->m_backgroundLinksDirty)
                linkProfiles.insert(profile);
        }
        for (ModelRecord *record : std::as_const(updates)) {
            if (!record->m_deleted && record->m_rowId != 0)
                writeUpdate(record, newIds);
        }
        for (Profile *profile : std::as_const(linkProfiles))
            writeLinks(profile, newIds);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        db.rollback();
        failed(QStringLiteral("The store could not save"), error);
    }

    for (auto it = newIds.constBegin(); it != newIds.constEnd(); ++it)
        adopt(it.key(), it.value());
    for (ModelRecord *record : std::as_const(m_inserted)) {
        if (auto *profile = qobject_cast<Profile *>(record)) {
            profile->m_optionOrderDirty = false;
            profile->m_backgroundLinksDirty = false;
        }
    }
    for (ModelRecord *record : std::as_const(m_updated)) {
        if (auto *profile = qobject_cast<Profile *>(record)) {
            profile->m_optionOrderDirty = false;
            profile->m_backgroundLinksDirty = false;
        }
    }
    const QSet<ModelRecord *> deleted = m_deleted;
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    for (ModelRecord *record : deleted) {
        forget(record);
        record->deleteLater();
    }
    emit didSave();
    emit objectsChanged();
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

template<typename T> T *ModelContext::rowObject(QHash<qint64, T *> &map, qint64 id, bool &refresh)
{
    auto found = map.find(id);
    if (found == map.end()) {
        // Owned through the identity map rather than as a QObject child: parenting tens of
        // thousands of records one by one costs more than the rest of a fetch.
        T *record = new T();
        record->m_context = this;
        record->m_rowId = id;
        map.insert(id, record);
        refresh = true;
        return record;
    }
    T *record = *found;
    // A record changed here keeps its unsaved values.
    refresh = !m_updated.contains(record) && !record->m_deleted;
    return record;
}

Profile *ModelContext::materializeProfile(const QSqlQuery &row)
{
    bool refresh = false;
    Profile *profile = rowObject(m_profiles, row.value(0).toLongLong(), refresh);
    if (refresh) {
        LoadingScope loading(profile->m_loadingFromStore);
        profile->setUuid(row.value(1).toString());
        profile->setName(row.value(2).toString());
        profile->setEnabled(row.value(3).toLongLong() != 0);
    }
    return profile;
}

Option *ModelContext::materializeOption(const QSqlQuery &row, int first)
{
    bool refresh = false;
    Option *option = rowObject(m_options, row.value(first).toLongLong(), refresh);
    if (refresh) {
        LoadingScope loading(option->m_loadingFromStore);
        option->setKey(row.value(first + 1).toString());
        option->setValue(row.value(first + 2).toString());
        option->setEnabled(row.value(first + 3).toLongLong() != 0);
    }
    return option;
}

CustomBackground *ModelContext::materializeBackground(const QSqlQuery &row, int first)
{
    bool refresh = false;
    CustomBackground *background = rowObject(m_backgrounds, row.value(first).toLongLong(), refresh);
    if (refresh) {
        LoadingScope loading(background->m_loadingFromStore);
        background->setUuid(row.value(first + 1).toString());
        background->setType(row.value(first + 2).toString());
        background->setBackgroundValue(row.value(first + 3).toString());
        const QVariant bookmark = row.value(first + 4);
        background->setBookmarkData(bookmark.isNull() ? std::nullopt
                                                      : std::optional<QByteArray>(bookmark.toByteArray()));
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

QList<Profile *> ModelContext::fetchProfilesWhere(const QString *uuid)
{
    QSqlQuery query =
        prepare(uuid ? QStringLiteral("SELECT id, uuid, name, isEnabled FROM profiles WHERE uuid = ? "
                                      "ORDER BY id")
                     : QStringLiteral("SELECT id, uuid, name, isEnabled FROM profiles ORDER BY id"));
    if (uuid)
        query.addBindValue(*uuid);
    exec(query);
    QList<Profile *> stored;
    while (query.next()) {
        Profile *profile = materializeProfile(query);
        if (!profile->m_deleted)
            stored.append(profile);
    }
    query.finish();
    if (!stored.isEmpty()) {
        loadOptions(stored, uuid == nullptr);
        loadBackgroundLinks(stored);
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
    const QString columns = QStringLiteral("SELECT id, \"key\", \"value\", isEnabled, profile FROM options ");
    QSqlQuery query =
        prepare(all ? columns + QStringLiteral("WHERE profile IS NOT NULL ORDER BY profile, position, id")
                    : columns
                        + QStringLiteral("WHERE profile IN (%1) ORDER BY profile, position, id")
                              .arg(idList(profiles)));
    exec(query);
    QHash<Profile *, QList<Option *>> lists;
    lists.reserve(profiles.size());
    Profile *current = nullptr;
    qint64 currentId = -1;
    while (query.next()) {
        const qint64 profileId = query.value(4).toLongLong();
        if (profileId != currentId) {
            currentId = profileId;
            current = m_profiles.value(profileId);
            // A profile whose list was changed here keeps its unsaved list.
            if (current && (current->m_optionOrderDirty || current->m_deleted))
                current = nullptr;
        }
        if (!current)
            continue;
        Option *option = materializeOption(query, 0);
        if (!option->m_deleted)
            lists[current].append(option);
    }
    for (Profile *profile : profiles) {
        if (profile->m_optionOrderDirty)
            continue;
        const QList<Option *> list = lists.value(profile);
        for (Option *option : list)
            option->m_profile = profile;
        if (list == profile->m_options)
            continue;
        for (Option *option : std::as_const(profile->m_options)) {
            if (!list.contains(option) && option->m_profile == profile)
                option->m_profile = nullptr;
        }
        profile->m_options = list;
        emit profile->optionsChanged();
    }
}

void ModelContext::loadBackgroundLinks(const QList<Profile *> &profiles)
{
    QSqlQuery query =
        prepare(QStringLiteral("SELECT l.profile, b.id, b.uuid, b.type, b.backgroundValue, b.bookmarkData "
                               "FROM profile_backgrounds l "
                               "JOIN custom_backgrounds b ON b.id = l.background ORDER BY l.rowid"));
    exec(query);
    QHash<Profile *, QList<CustomBackground *>> lists;
    while (query.next()) {
        Profile *profile = m_profiles.value(query.value(0).toLongLong());
        if (!profile || profile->m_backgroundLinksDirty)
            continue;
        CustomBackground *background = materializeBackground(query, 1);
        if (!background->m_deleted)
            lists[profile].append(background);
    }
    for (Profile *profile : profiles) {
        if (profile->m_backgroundLinksDirty)
            continue;
        const QList<CustomBackground *> list = lists.value(profile);
        if (list == profile->m_backgrounds)
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
    QSqlQuery orphans = prepare(QStringLiteral(
        "SELECT id, \"key\", \"value\", isEnabled FROM options WHERE profile IS NULL ORDER BY id"));
    exec(orphans);
    while (orphans.next()) {
        Option *option = materializeOption(orphans, 0);
        if (!option->m_deleted && !option->profile())
            result.append(option);
    }
    std::sort(result.begin(), result.end(),
              [](const Option *a, const Option *b) { return a->persistentId() < b->persistentId(); });
    for (ModelRecord *record : std::as_const(m_inserted)) {
        if (auto *option = qobject_cast<Option *>(record))
            result.append(option);
    }
    return result;
}

QList<CustomBackground *> ModelContext::fetchBackgroundsWhere(const QString &column, const QString *value)
{
    QString sql =
        QStringLiteral("SELECT id, uuid, type, backgroundValue, bookmarkData FROM custom_backgrounds");
    if (value)
        sql += QStringLiteral(" WHERE %1 = ?").arg(column);
    QSqlQuery query = prepare(sql + QStringLiteral(" ORDER BY id"));
    if (value)
        query.addBindValue(*value);
    exec(query);
    QList<CustomBackground *> result;
    while (query.next()) {
        CustomBackground *background = materializeBackground(query, 0);
        if (!background->m_deleted)
            result.append(background);
    }
    for (ModelRecord *record : std::as_const(m_inserted)) {
        auto *background = qobject_cast<CustomBackground *>(record);
        if (!background || !value)
            continue;
        if ((column == QLatin1String("type") ? background->type() : background->uuid()) == *value)
            result.append(background);
    }
    if (!value) {
        for (ModelRecord *record : std::as_const(m_inserted)) {
            if (auto *background = qobject_cast<CustomBackground *>(record))
                result.append(background);
        }
    }
    return result;
}

QList<CustomBackground *> ModelContext::fetchBackgrounds()
{
    return fetchBackgroundsWhere(QString(), nullptr);
}

QList<CustomBackground *> ModelContext::fetchBackgroundsOfType(const QString &type)
{
    return fetchBackgroundsWhere(QStringLiteral("type"), &type);
}

QList<CustomBackground *> ModelContext::fetchBackgroundsWithUuid(const QString &uuid)
{
    return fetchBackgroundsWhere(QStringLiteral("uuid"), &uuid);
}
