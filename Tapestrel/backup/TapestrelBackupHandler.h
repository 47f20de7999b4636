#pragma once

#include "KivBackups/BackupHandler.h"

#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

class ModelContext;

// The program's data in a backup: every profile in "profiles.json" and every custom background in
// "backgrounds.json". Restoring merges both into the store by uuid, replacing records with the
// same uuid, in one transaction on the thread pool.
class TapestrelBackupHandler : public KivBackups::BackupHandler
{
public:
    // A restore takes at most this many profiles, and as many backgrounds.
    static constexpr qsizetype maximumRecords = 10000;
    // Nor more options in all, about what that many profiles hold today, 28 each.
    static constexpr qsizetype maximumOptions = 300000;
    // Nor a file of more values of any kind, members and list elements at every depth: what the
    // records hold at their limits stays well within it, and nothing the records do not hold is
    // worth building a document of for them.
    static constexpr qsizetype maximumValues = 2000000;

    TapestrelBackupHandler(ModelContext *modelContext, QString profilesFileName, QString backgroundsFileName);

    ModelContext *modelContext() const;
    // The store's main context; the program hands over the new one when it reopens its store.
    void setModelContext(ModelContext *modelContext);
    const QString &profilesFileName() const { return m_profilesFileName; }
    const QString &backgroundsFileName() const { return m_backgroundsFileName; }

    // Writes both files or throws; with the store gone there is nothing to back up, which fails.
    QCoro::Task<void> backup(QString directory) override;
    // The same two files, read from the store and written into the archive as they are made.
    KivBackups::StreamedBackup streamedBackup() override;
    // Reads and decodes both files before anything changes; any error leaves the store as it was:
    // more than maximumRecords of either kind, a profile of more than ProfileImporter::maximumOptions
    // options, more than maximumOptions options in all (counted in the profiles' option lists and
    // nowhere else), a file of more than maximumValues values, or two records of one kind and uuid
    // included. Names too long are cut, and said so. The restored profiles and backgrounds come in
    // the backup's order (see StoreMerge).
    QCoro::Task<QStringList> restore(QString directory) override;
    // Whether the restore under way has been merged into the store.
    bool restoreStored() const override { return m_restoreStored && *m_restoreStored; }
    // The two files.
    QStringList restoredFileNames() const override;
    // The store's saves (see ModelContainer::holdSaves): an edit made while a restore runs is written
    // after it, over what it restored.
    std::shared_ptr<void> holdForRestore() override;

private:
    QPointer<ModelContext> m_modelContext;
    QString m_profilesFileName;
    QString m_backgroundsFileName;
    // Set once the latest restore's merge has been written.
    std::shared_ptr<std::atomic<bool>> m_restoreStored;
};
