#pragma once

#include <QString>

#include <QCoro/QCoroTask>

namespace KivBackups {

// What the backup module asks of the application: write its data as files into a folder, and
// put it back from such a folder. The module knows nothing of the data itself.
class BackupHandler
{
public:
    virtual ~BackupHandler() = default;

    // Reads the files of the folder and puts their data back into the application's store.
    virtual QCoro::Task<void> restore(QString directory) = 0;
    // Writes the application's data as files into an existing, empty folder.
    virtual QCoro::Task<void> backup(QString directory) = 0;
};

} // namespace KivBackups
