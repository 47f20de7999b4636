#pragma once

#include "Tapestrel/model/ModelRecord.h"
#include "Tapestrel/model/RowIdentityMap.h"
#include "Tapestrel/model/SqliteStatement.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

class ModelContainer;
struct RowMoves;
class Profile;
class Option;
class CustomBackground;
struct sqlite3;

// A working set of records over the store. It hands out one object per stored row (so records can
// be compared by identity), owns every record inserted into or fetched through it, and writes all
// pending inserts, changes and deletions in one transaction when saved. Used on the main thread.
class ModelContext : public QObject
{
    Q_OBJECT

public:
    // Opens a connection of its own to the container's file. Throws ModelStoreError.
    explicit ModelContext(ModelContainer &container);
    ~ModelContext() override;

    ModelContainer *container() const { return m_container; }

    // Takes ownership of a new record and of the records related to it (a profile's options, the
    // backgrounds it links); they are written at the next save.
    void insert(ModelRecord *record);
    template<typename T> T *insert(std::unique_ptr<T> record)
    {
        T *raw = record.release();
        insert(static_cast<ModelRecord *>(raw));
        return raw;
    }

    // Deletes a record: a profile with its options, an option out of its profile's list, a
    // background out of the profiles that link it. The rows go at the next save; the object is
    // destroyed after that save (at once when it was never saved), so hold records in QPointer.
    void remove(ModelRecord *record);

    bool hasChanges() const;
    // Writes every pending change in one transaction: of a stored record, only the fields changed here
    // (a profile's list when it changed, and the links to backgrounds made or undone here), never what
    // was read before another connection (a merge, another instance) wrote the rest. On failure nothing is
    // written, the changes stay pending and ModelStoreError is thrown. While the container merges (see
    // ModelContainer::merge), the save waits its turn: the changes stay pending, and the container
    // saves them when the merges are over. A record whose row another connection deleted meanwhile
    // is not written again, nor an option into a profile whose row went so; an option changed here
    // whose row a merge dropped from its profile's new version is written as a new option of it.
    void save();

    // Stored records (as last saved, with this context's unsaved changes applied) followed by the
    // records inserted since the last save. A field changed in this context keeps its unsaved value;
    // the others are refreshed from the store. Each merge that has ended is followed first (see
    // ModelContainer::merge). Throw ModelStoreError.
    QList<Profile *> fetchProfiles();
    QList<Profile *> fetchProfiles(const QString &uuid);
    QList<Option *> fetchOptions();
    QList<CustomBackground *> fetchBackgrounds();
    QList<CustomBackground *> fetchBackgroundsOfType(const QString &type);
    QList<CustomBackground *> fetchBackgroundsWithUuid(const QString &uuid);

signals:
    // Records were inserted or deleted here, or the store changed through a save of any context:
    // live lists fetch again.
    void objectsChanged();
    // The same for lists of profiles alone: emitted after objectsChanged() when a profile was
    // inserted or deleted, and on saves, but not for options or backgrounds added to a profile (a
    // profile made from the current settings gains its options one at a time).
    void profilesChanged();
    // After this context saved.
    void didSave();

private:
    friend class ModelRecord;
    friend class ModelContainer;
    // The statement for `sql`, prepared at its first use and kept for the life of the context.
    SqliteStatement::Use statement(const char *sql);
    void execSql(const char *sql, const char *what);

    // Writes every pending change now; see save().
    void write();
    // Takes the records of rows that a merge moved to their new rows (see RowMoves).
    void followMoves(const RowMoves &moves);

    void recordChanged(ModelRecord *record);
    void forget(ModelRecord *record);
    void adopt(ModelRecord *record, qint64 rowId);
    void announce();
    void createSchema();

    // Before every read of the store.
    void followEndedMerges();
    QList<Profile *> fetchProfilesWhere(const QString *uuid);
    // Gives `profiles` (stored ones, in row order) their stored options.
    void loadOptions(const QList<Profile *> &profiles, bool all);
    void loadBackgroundLinks(const QList<Profile *> &profiles);
    template<typename T> T *rowObject(RowIdentityMap<T> &map, qint64 id, bool &fresh, bool &refresh);
    Profile *materializeProfile(const SqliteStatement &row);
    Option *materializeOption(const SqliteStatement &row, int firstColumn, const QString &key);
    CustomBackground *materializeBackground(const SqliteStatement &row, int firstColumn);
    QList<CustomBackground *> fetchBackgroundsWhere(const char *sql, const QString *value, bool byType);

    void writeInsert(ModelRecord *record, QHash<ModelRecord *, qint64> &newIds);
    static constexpr quint8 allFields = 0xff;
    // Writes the `fields` of a stored record (see ModelRecord::markChanged()) into its row.
    void writeUpdate(ModelRecord *record, const QHash<ModelRecord *, qint64> &newIds, quint8 fields);
    int bindValues(SqliteStatement &statement, ModelRecord *record,
                   const QHash<ModelRecord *, qint64> &newIds, quint8 fields) const;
    void deleteRows(const char *table, const QList<qint64> &ids);
    void writeLinks(Profile *profile, const QHash<ModelRecord *, qint64> &newIds,
                    const QSet<const ModelRecord *> &gone);
    // Those of `records` (stored before) whose rows are no longer in the store.
    QSet<const ModelRecord *> vanished(const QSet<const ModelRecord *> &records);
    qint64 idOf(const ModelRecord *record, const QHash<ModelRecord *, qint64> &newIds) const;

    ModelContainer *m_container;
    sqlite3 *m_database = nullptr;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> m_statements;
    RowIdentityMap<Profile> m_profiles;
    RowIdentityMap<Option> m_options;
    RowIdentityMap<CustomBackground> m_backgrounds;
    QList<ModelRecord *> m_inserted;
    QSet<ModelRecord *> m_updated;
    QSet<ModelRecord *> m_deleted;
    // Records of rows that other connections deleted, whose rows a merge has since given to records
    // it moved: nobody reads them from the store again, and they go with the context.
    QList<ModelRecord *> m_displaced;
    int m_insertDepth = 0;
    bool m_profilesTouched = false; // a profile was inserted or deleted since the last announce()
    // The stored profiles of the last fetch of all of them, with the store's data version then. While
    // no other connection has committed since, and this context has neither saved nor forgotten a
    // record, a fetch answers from it instead of reading every profile and option again: live lists
    // fetch on every insert, and a profile made from the current settings inserts one option at a time.
    QList<Profile *> m_storedProfiles;
    std::optional<qint64> m_storedProfilesVersion;
    qint64 dataVersion();
};
