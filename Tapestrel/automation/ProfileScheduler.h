#pragma once

#include "Tapestrel/model/ScheduledProfile.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimeZone>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class ModelContext;
class Profile;
class SynchronizedOptionsStore;

// Applies profiles at their scheduled times of day. It follows the schedule list of the
// synchronised options and keeps one timer armed for the entry that is due next.
//
// The timer is never trusted to measure long spans: it wakes at least once a minute and compares
// the wall clock with the due times. So a due time that passed while the machine slept, or that a
// clock change jumped over, fires once at the next wake-up, and every entry due at the same time
// fires, in list order. An occurrence that fired is remembered, so it never fires twice, not even
// when the clock is set back over it.
class ProfileScheduler : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // What firing an entry does with its profile; by default the apply command, remembering the
    // profile as the last applied one.
    using Applier = std::function<void(Profile *)>;
    // The context in which profiles are looked up when an entry fires; asked each time, as the
    // program's store may be replaced (a data reset).
    using ContextSource = std::function<ModelContext *()>;

    // The longest the timer sleeps before it looks at the wall clock again.
    static constexpr int maximumSleepMilliseconds = 60 * 1000;

    ProfileScheduler(SynchronizedOptionsStore &store, ContextSource context, QObject *parent = nullptr);
    // For tests: one context, and an own clock and time zone in place of the system's.
    ProfileScheduler(SynchronizedOptionsStore &store, ModelContext *context, Clock clock, QTimeZone zone,
                     QObject *parent = nullptr);
    ProfileScheduler(SynchronizedOptionsStore &store, ContextSource context, Clock clock, QTimeZone zone,
                     QObject *parent = nullptr);

    void setApplier(Applier applier);
    // How long the timer may sleep before it looks at the wall clock again (a minute by default).
    void setMaximumSleep(std::chrono::milliseconds sleep) { m_maximumSleep = sleep; }

    // The entry the timer waits for and when it is due; none when no enabled entry has a date.
    std::optional<ScheduledProfile> armedEntry() const { return m_armedEntry; }
    std::optional<QDateTime> armedFireDate() const { return m_armedFireDate; }
    bool isTimerActive() const { return m_timer.isActive(); }
    int timerInterval() const { return m_timer.interval(); }

    // Fires every entry whose time came since the last look at the clock, then arms again. The
    // timer calls it; so may anyone who knows the clock moved (a resume from sleep).
    void checkDueEntries();

signals:
    // An entry's time came and its profile was handed to the applier.
    void fired(const ScheduledProfile &entry);

private:
    void scheduleWillChange();
    void scheduleDidChange();
    void fireDueEntries(const QDateTime &now);
    void fire(const ScheduledProfile &entry);
    void rearm();

    QPointer<SynchronizedOptionsStore> m_store;
    ContextSource m_context;
    Clock m_clock;
    QTimeZone m_zone;
    Applier m_applier;
    QTimer m_timer;
    std::chrono::milliseconds m_maximumSleep {maximumSleepMilliseconds};
    // Occurrences after this instant are still to fire.
    QDateTime m_lastCheck;
    // The occurrence each entry (by id) last fired for.
    QHash<QString, QDateTime> m_lastFired;
    std::optional<ScheduledProfile> m_armedEntry;
    std::optional<QDateTime> m_armedFireDate;
};
