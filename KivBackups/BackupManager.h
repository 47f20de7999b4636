#pragma once

#include "KivBackups/Backup.h"
#include "KivBackups/BackupError.h"
#include "KivBackups/BackupHandler.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>

namespace KivBackups {

// Owns the backups folder: lists the archives, makes new ones from what the handler writes,
// restores them through the handler, and deletes, locks and unlocks them. Published state changes
// on the thread the manager lives on; the file work runs on the thread pool.
class BackupManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<KivBackups::Backup> backups READ backups NOTIFY backupsChanged)
    Q_PROPERTY(qint64 totalSize READ totalSize NOTIFY totalSizeChanged)
    Q_PROPERTY(bool isWorking READ isWorking NOTIFY isWorkingChanged)

public:
    struct Configuration
    {
        QString backupStorePath; // the backups folder
        QString fileExtension; // without the dot
    };

    // No file of a backup comes near this; unpacking refuses a member that would be larger.
    static constexpr qint64 maximumMemberSize = qint64(64) << 20;
    // Nor does one compress that well: beyond its first MiB, a member may unpack to at most this many
    // times the bytes it takes in the archive.
    static constexpr qint64 maximumExpansion = 100;
    static constexpr qint64 expansionAllowance = qint64(1) << 20;
    // A backup holds a few files; an archive of more members than this is refused before it is read
    // further. Its directory may count them wrongly past 65,535, which would hide some of them.
    static constexpr qsizetype maximumMembers = 1000;
    using Clock = std::function<QDateTime()>;

    BackupManager(Configuration configuration, std::shared_ptr<BackupHandler> backupHandler,
                  QObject *parent = nullptr);

    const Configuration &configuration() const { return m_configuration; }
    BackupHandler &backupHandler() const { return *m_backupHandler; }

    // Oldest first.
    const QList<Backup> &backups() const { return m_backups; }
    void setBackups(const QList<Backup> &backups);
    qint64 totalSize() const { return m_totalSize; }
    bool isWorking() const { return m_isWorking; }

    // The moment a new backup is named after; tests replace it.
    void setClock(Clock clock);

    // Where backups and restores keep their working folders: a hidden folder in the backups
    // folder, so that copies of the user's data stay in the program's own data folder. Working
    // folders that a killed process left there are removed when a manager is made.
    QString workingFolderPath() const;

    // The backups of a folder, oldest first; a folder that cannot be read has none.
    static QList<Backup> listBackups(const QString &directory, const QString &fileExtension);

    // Writes a new archive of the handler's files, then reloads. The archive appears under its
    // final name only when complete and never replaces another archive.
    QCoro::Task<void> makeBackup(bool locked);
    // Unpacks the archive into a private folder and has the handler restore from it; gives what the
    // handler tells of the restore. A member larger than maximumMemberSize or expanding more than
    // maximumExpansion allows by its declared sizes, more than maximumMembers members, or two members
    // of one name, fail the restore
    // before anything is unpacked; one that expands more than that from the bytes read for it fails
    // it as it is unpacked. Only the members the handler reads are unpacked.
    // Restores run one after another in the order they were asked, each after the one before has
    // ended, so that the store ends as the last one asked left it; the handler's hold
    // (BackupHandler::holdForRestore) is taken when it is asked.
    QCoro::Task<QStringList> restore(Backup backup);
    // The same, after a locked backup of the current data has been made in the restore's turn, so
    // that the restore can be undone; a backup that cannot be made fails it before anything changes.
    QCoro::Task<QStringList> restoreKeepingCurrent(Backup backup);
    // A restore has been asked and has not ended.
    bool isRestoring() const { return !m_restoring.isEmpty(); }
    // The backups of the restores asked whose data has not reached the store, by file name, in the
    // order asked: those asked and not ended, but the one whose data the handler has stored already.
    QStringList unfinishedRestores() const;
    // Returns once no restore is asked and not ended.
    QCoro::Task<void> restoresOver();
    // Removes an unlocked archive; a locked one gives the locked-backup error.
    QCoro::Task<void> deleteBackup(Backup backup);
    QCoro::Task<void> reload();
    void updateTotalSize();
    QCoro::Task<void> lock(Backup backup, bool reload);
    QCoro::Task<void> unlock(Backup backup, bool reload);

    static BackupError lockedBackupError(const Backup &backup);

signals:
    void backupsChanged();
    void totalSizeChanged();
    void isWorkingChanged();
    void restoreEnded();

private:
    void setIsWorking(bool isWorking);
    QCoro::Task<QStringList> restoreInTurn(Backup backup, bool keepCurrentFirst);
    QCoro::Task<QStringList> unpackAndRestore(Backup backup);

    Configuration m_configuration;
    std::shared_ptr<BackupHandler> m_backupHandler;
    Clock m_clock;
    QList<Backup> m_backups;
    qint64 m_totalSize = 0;
    bool m_isWorking = false;
    QStringList m_restoring;
    // The handler is restoring (the first of m_restoring).
    bool m_handlerRestoring = false;
    // Restores asked and ended since the manager was made: the next to run is the one asked as number
    // m_restoresEnded.
    quint64 m_restoresAsked = 0;
    quint64 m_restoresEnded = 0;
};

} // namespace KivBackups
