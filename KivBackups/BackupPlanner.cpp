#include "KivBackups/BackupPlanner.h"

#include "KivBackups/FileOperations.h"
#include "KivBackups/IntervalCleaner.h"
#include "KivUtilities/Detached.h"

#include <algorithm>
#include <exception>

namespace KivBackups {

QList<double> BackupPlanner::defaultIntervals()
{
    constexpr double minute = 60, hour = 3600, day = 86400, week = 604800;
    QList<double> intervals {15 * minute, 30 * minute, 45 * minute, hour, 2 * hour, 3 * hour};
    // There is no 4-hour bucket: 3 hours is followed by 5.
    for (int hours = 5; hours <= 12; ++hours)
        intervals.append(hours * hour);
    for (int days = 1; days <= 6; ++days)
        intervals.append(days * day);
    for (int weeks = 1; weeks <= 20; ++weeks)
        intervals.append(weeks * week);
    return intervals;
}

BackupPlanner::BackupPlanner(BackupManager *backupManager, QObject *parent)
    : QObject(parent)
    , m_intervals(defaultIntervals())
    , m_backupManager(backupManager)
    , m_clock([] { return QDateTime::currentDateTime(); })
{ }

void BackupPlanner::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void BackupPlanner::run()
{
    if (m_isWorking)
        return;
    m_isWorking = true;
    KivUtilities::detached(runPass(), "BackupPlanner::run");
}

QCoro::Task<void> BackupPlanner::runPass()
{
    QPointer<BackupPlanner> self(this);
    try {
        co_await performBackup();
    } catch (...) {
        // Automatic backups report nothing; the pass has already put the planner back to idle.
    }
    if (self)
        emit self->passFinished();
}

QCoro::Task<void> BackupPlanner::performBackup()
{
    QPointer<BackupPlanner> self(this);
    if (m_lastBackupDate) {
        const double gap = double(m_lastBackupDate->msecsTo(m_clock())) / 1000.0;
        // A negative gap means the clock was set back: waiting for it to catch up could leave the
        // user without backups for days, so that counts as due.
        if (gap >= 0 && gap < minimumTimeInterval) {
            m_isWorking = false;
            co_return;
        }
    }

    std::exception_ptr failure;
    try {
        if (!m_backupManager)
            throw BackupError(BackupError::domain, 3, QStringLiteral("The backup manager is gone."));
        co_await m_backupManager->makeBackup(false);
        if (self)
            co_await self->clean();
    } catch (...) {
        failure = std::current_exception();
    }
    if (self) {
        // Also after a failure, so a backup that keeps failing is retried at the usual pace
        // instead of on every tick, and never stops the automatic backups for good.
        self->m_lastBackupDate = self->m_clock();
        self->m_isWorking = false;
    }
    if (failure)
        std::rethrow_exception(failure);
}

QCoro::Task<void> BackupPlanner::clean()
{
    QPointer<BackupPlanner> self(this);
    if (!m_backupManager)
        co_return;

    QList<Backup> unlocked;
    for (const Backup &backup : m_backupManager->backups()) {
        if (!backup.isLocked)
            unlocked.append(backup);
    }
    QList<double> intervals = m_intervals;
    std::sort(intervals.begin(), intervals.end());
    const QList<Backup> doomed = IntervalCleaner(intervals).itemsToDelete(unlocked, m_clock());

    for (const Backup &backup : doomed) {
        if (!self || !self->m_backupManager)
            co_return;
        // A backup locked since the list was read stays.
        if (Backup::isLockedPath(backup.path()))
            continue;
        FileOperations::remove(backup.path());
        BackupManager *manager = self->m_backupManager;
        manager->setBackups(BackupManager::listBackups(manager->configuration().backupStorePath,
                                                       manager->configuration().fileExtension));
    }
}

} // namespace KivBackups
