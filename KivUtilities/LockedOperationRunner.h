#pragma once

#include "KivUtilities/Timeline.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

namespace KivUtilities {

// Runs an operation unless a previous run still holds the lock. Without a minimum duration the lock
// covers the operation only (a call made from inside it is dropped). With one, the lock lasts from the
// start of a run until the minimum duration has passed and the operation has finished, and is
// released on the runner's (main) thread; calls in that time are dropped. The minimum duration is
// read once at the start of each run, so changing it never strands the lock.
class LockedOperationRunner : public QObject
{
    Q_OBJECT

public:
    explicit LockedOperationRunner(std::optional<std::chrono::milliseconds> minimumDuration,
                                   std::function<void()> operation, QObject *parent = nullptr);

    bool isLocked() const { return m_isLocked; }
    bool isWorking() const { return m_isWorking; }

    std::optional<std::chrono::milliseconds> minimumDuration() const { return m_minimumDuration; }
    void setMinimumDuration(std::optional<std::chrono::milliseconds> duration)
    {
        m_minimumDuration = duration;
    }

    // Runs the operation on the caller's thread and waits for it. An exception from the operation
    // is passed on after the runner has been unlocked as usual.
    void run();

    // Times the minimum duration; tests give it their own clock.
    Timeline &timeline() { return m_timeline; }

private:
    void releaseAt(std::chrono::nanoseconds deadline);

    std::atomic<bool> m_isLocked = false;
    std::atomic<bool> m_isWorking = false;
    std::function<void()> m_operation;
    std::optional<std::chrono::milliseconds> m_minimumDuration;
    Timeline m_timeline;
};

} // namespace KivUtilities
