#include "Tapestrel/backup/TapestrelDataResetController.h"

#include "KivBackups/BackupError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

TapestrelDataResetController::TapestrelDataResetController(QString dataDirectory, Steps steps)
    : m_dataDirectory(std::move(dataDirectory))
    , m_steps(std::move(steps))
{ }

QList<QUrl> TapestrelDataResetController::urls() const
{
    QList<QUrl> result;
    for (const char *name :
         {".data_SUPPORT", "data_ckAssets", "data.sqlite", "data.sqlite-shm", "data.sqlite-wal"})
        result.append(QUrl::fromLocalFile(m_dataDirectory + QLatin1Char('/') + QLatin1String(name)));
    return result;
}

QCoro::Task<void> TapestrelDataResetController::reset()
{
    const Steps steps = m_steps;
    const QList<QUrl> files = urls();
    co_await steps.makeLockedBackup();

    steps.stopAutosave();
    steps.closeStore();
    QStringList failed;
    for (const QUrl &url : files) {
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        const bool removed =
            info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
        if (!removed)
            failed.append(path);
    }
    steps.openStore();
    steps.startAutosave();

    if (!failed.isEmpty())
        throw KivBackups::BackupError(KivBackups::BackupError::fileSystemDomain, EACCES,
                                      QCoreApplication::translate("TapestrelDataResetController",
                                                                  "These files could not be deleted: %1")
                                          .arg(failed.join(QStringLiteral(", "))));
}
