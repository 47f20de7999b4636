#pragma once

#include "KivBackups/BackupHandler.h"
#include "KivUtilities/NextEmission.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <stdexcept>

namespace BackupTests {

// Writes two small files per backup and remembers what it was asked to restore.
class FakeBackupHandler : public KivBackups::BackupHandler
{
public:
    bool failBackup = false;
    QStringList backupDirectories;
    QStringList restoreDirectories;
    QByteArray restoredProfiles;
    QStringList restoredFiles; // what the last restore found unpacked
    QStringList restoreNotes; // what restores tell
    // When set, a restore stores its data at once and then waits for the timer before it returns.
    QTimer *holdRestore = nullptr;
    bool stored = false;

    QCoro::Task<void> backup(QString directory) override
    {
        backupDirectories.append(directory);
        if (failBackup)
            throw std::runtime_error("disk full");
        write(QDir(directory).filePath("profiles.json"), "[{\"uuid\":\"p\"}]");
        write(QDir(directory).filePath("backgrounds.json"), "[]");
        co_return;
    }

    QCoro::Task<QStringList> restore(QString directory) override
    {
        restoreDirectories.append(directory);
        QFile file(QDir(directory).filePath("profiles.json"));
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("no profiles");
        restoredProfiles = file.readAll();
        restoredFiles = QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        stored = false;
        if (QTimer *hold = holdRestore) {
            stored = true;
            co_await KivUtilities::nextEmission(hold, &QTimer::timeout);
        }
        co_return restoreNotes;
    }
    bool restoreStored() const override { return stored; }
    QStringList restoredFileNames() const override { return {"backgrounds.json", "profiles.json"}; }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            throw std::runtime_error("write failed");
    }
};

} // namespace BackupTests
