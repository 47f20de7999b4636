#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>

namespace KivBackups {

// Where a handler that streams its data writes its files: straight into the archive, file by file,
// each in as many pieces as it likes. Failures throw.
class BackupFileWriter
{
public:
    virtual ~BackupFileWriter() = default;
    virtual void beginFile(const QString &name) = 0;
    virtual void write(QByteArrayView bytes) = 0;
    virtual void endFile() = 0;
};

// Work that writes the handler's files, run on the thread pool; it may throw.
using StreamedBackup = std::function<void(BackupFileWriter &)>;

// What the backup module asks of the application: write its data as files into a folder, and
// put it back from such a folder. The module knows nothing of the data itself.
class BackupHandler
{
public:
    virtual ~BackupHandler() = default;

    // Reads the files of the folder and puts their data back into the application's store. Gives
    // what the person should know of how the data came back changed (empty when it came back as it
    // was).
    virtual QCoro::Task<QStringList> restore(QString directory) = 0;
    // Whether the restore under way (the call of restore() that has not returned) has put its data
    // into the store already: a program that ends before the call returns says the truth about it.
    // The default says no.
    virtual bool restoreStored() const { return false; }
    // Called when a restore begins, before its archive is unpacked: what the application holds until
    // the restore has ended (the release of the last copy), such as its store's saves, so that what
    // changes meanwhile is kept after the restore rather than restored over. The default holds nothing.
    virtual std::shared_ptr<void> holdForRestore() { return {}; }
    // The names of the files restore() reads: a restore unpacks only the entries of these names.
    // None given, every entry is unpacked.
    virtual QStringList restoredFileNames() const { return {}; }
    // Writes the application's data as files into an existing, empty folder.
    virtual QCoro::Task<void> backup(QString directory) = 0;
    // Called on the manager's thread in place of backup() when it gives work: the same files,
    // written into the archive as they are made instead of into a folder first. The default gives
    // none. Throws what backup() would throw before writing anything.
    virtual StreamedBackup streamedBackup() { return {}; }
};

} // namespace KivBackups
