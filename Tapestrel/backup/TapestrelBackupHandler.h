#pragma once

#include "KivBackups/BackupHandler.h"

#include <QPointer>
#include <QString>

class ModelContext;

// The program's data in a backup: every profile in "profiles.json" and every custom background in
// "backgrounds.json". Restoring merges both into the store by uuid, replacing records with the
// same uuid, in one transaction on the thread pool.
class TapestrelBackupHandler : public KivBackups::BackupHandler
{
public:
    // A restore takes at most this many profiles, and as many backgrounds.
    static constexpr qsizetype maximumRecords = 10000;

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
    // Reads and decodes both files before anything changes; any error, more than maximumRecords of
    // either kind or a profile of more than ProfileImporter::maximumOptions options included, leaves
    // the store as it was. Names too long are cut, and said so.
    QCoro::Task<QStringList> restore(QString directory) override;
    // The two files.
    QStringList restoredFileNames() const override;

private:
    QPointer<ModelContext> m_modelContext;
    QString m_profilesFileName;
    QString m_backgroundsFileName;
};
