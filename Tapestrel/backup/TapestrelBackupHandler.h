#pragma once

#include "KivBackups/BackupHandler.h"

#include <QPointer>
#include <QString>

class ModelContext;

// The program's data in a backup: every profile in "profiles.json" and every custom background in
// "backgrounds.json". Restoring merges both into the store by uuid, replacing records with the
// same uuid, in one save.
class TapestrelBackupHandler : public KivBackups::BackupHandler
{
public:
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
    // Reads and decodes both files before anything changes; any error leaves the store as it was.
    QCoro::Task<void> restore(QString directory) override;

private:
    QPointer<ModelContext> m_modelContext;
    QString m_profilesFileName;
    QString m_backgroundsFileName;
};
