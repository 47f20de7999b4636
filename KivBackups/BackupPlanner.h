#pragma once

#include "KivBackups/BackupManager.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>

namespace KivBackups {

// Makes the automatic backups: at the first run() after launch and then whenever the last pass
// ended at least 30 seconds before, followed by thinning the unlocked backups by a table of age
// intervals. run() is called on every autosave tick; only one pass runs at a time.
class BackupPlanner : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    static constexpr double minimumTimeInterval = 30.0;
    // Upper age bounds, in seconds, of the thinning buckets: 15 minutes up to 20 weeks.
    static QList<double> defaultIntervals();

    explicit BackupPlanner(BackupManager *backupManager, QObject *parent = nullptr);

    const QList<double> &intervals() const { return m_intervals; }
    void setIntervals(QList<double> intervals) { m_intervals = std::move(intervals); }
    bool isWorking() const { return m_isWorking; }
    std::optional<QDateTime> lastBackupDate() const { return m_lastBackupDate; }
    BackupManager *backupManager() const { return m_backupManager; }
    void setClock(Clock clock);

    // Starts one pass unless one is under way. Errors end the pass quietly: a failed pass counts
    // as a pass, so the next attempt follows after the usual interval.
    void run();
    // One pass: back up when due, then thin. Throws what the backup or a deletion throws.
    QCoro::Task<void> performBackup();
    // Deletes the unlocked backups the interval table does not keep, refreshing the manager's list
    // after each deletion.
    QCoro::Task<void> clean();

signals:
    // Emitted at the end of every pass started by run(), whether it backed up, skipped or failed.
    void passFinished();

private:
    QCoro::Task<void> runPass();

    QList<double> m_intervals;
    bool m_isWorking = false;
    std::optional<QDateTime> m_lastBackupDate;
    QPointer<BackupManager> m_backupManager;
    Clock m_clock;
};

} // namespace KivBackups
