#include "Tapestrel/automation/ProfileScheduler.h"

#include "Tapestrel/model/ApplyProfileCommand.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileRepository.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"

#include <QLoggingCategory>

#include <algorithm>
#include <exception>

namespace {
Q_LOGGING_CATEGORY(schedulerLog, "tapestrel.scheduler")
}

ProfileScheduler::ProfileScheduler(SynchronizedOptionsStore &store, ContextSource context, QObject *parent)
    : ProfileScheduler(
        store, std::move(context), [] { return QDateTime::currentDateTime(); }, QTimeZone::systemTimeZone(),
        parent)
{ }

ProfileScheduler::ProfileScheduler(SynchronizedOptionsStore &store, ModelContext *context, Clock clock,
                                   QTimeZone zone, QObject *parent)
    : ProfileScheduler(
        store, [context = QPointer<ModelContext>(context)]() -> ModelContext * { return context; },
        std::move(clock), std::move(zone), parent)
{ }

ProfileScheduler::ProfileScheduler(SynchronizedOptionsStore &store, ContextSource context, Clock clock,
                                   QTimeZone zone, QObject *parent)
    : QObject(parent)
    , m_store(&store)
    , m_context(context)
    , m_clock(std::move(clock))
    , m_zone(std::move(zone))
    , m_lastCheck(m_clock())
{
    setApplier({});
    m_timer.setSingleShot(true);
    // A coarse timer may wake a little early; a precise one keeps the late wake-ups rare.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ProfileScheduler::checkDueEntries);
    connect(&store, &SynchronizedOptionsStore::scheduledProfilesAboutToChange, this,
            &ProfileScheduler::scheduleWillChange);
    connect(&store, &SynchronizedOptionsStore::scheduledProfilesChanged, this,
            &ProfileScheduler::scheduleDidChange);
    rearm();
}

void ProfileScheduler::setApplier(Applier applier)
{
    if (applier) {
        m_applier = std::move(applier);
        return;
    }
    // The schedule fires whether or not anybody sits at the desktop: it asks nothing.
    m_applier = [](Profile *profile) {
        ApplyProfileCommand(profile, true, ProfileOperationQueue::Attendance::unattended).execute();
    };
}

void ProfileScheduler::checkDueEntries()
{
    fireDueEntries(m_clock());
    rearm();
}

void ProfileScheduler::scheduleWillChange()
{
    // Times that came while nobody looked (the machine slept) belong to the list as it was.
    fireDueEntries(m_clock());
}

void ProfileScheduler::scheduleDidChange()
{
    // A new or changed entry starts counting from now: a time earlier today waits for tomorrow.
    m_lastCheck = std::max(m_lastCheck, m_clock());
    rearm();
}

void ProfileScheduler::fireDueEntries(const QDateTime &now)
{
    if (!m_store)
        return;
    // After the clock was set back, only what comes after the new time is due; the occurrences
    // that already fired are still recognised by m_lastFired.
    const QDateTime since = std::min(m_lastCheck, now);
    m_lastCheck = now;
    const QList<ScheduledProfile> entries = m_store->scheduledProfiles();
    for (const ScheduledProfile &entry : entries) {
        const std::optional<QDateTime> due = entry.nextFireDate(since, m_zone);
        if (!due || *due > now)
            continue;
        const auto fired = m_lastFired.constFind(entry.id);
        if (fired != m_lastFired.constEnd() && *fired == *due)
            continue;
        m_lastFired.insert(entry.id, *due);
        fire(entry);
    }
}

void ProfileScheduler::fire(const ScheduledProfile &entry)
{
    ModelContext *context = m_context ? m_context() : nullptr;
    if (!context)
        return;
    Profile *profile = nullptr;
    try {
        profile = ProfileRepository(context).profile(entry.profileID);
    } catch (const std::exception &error) {
        qCWarning(schedulerLog) << "Scheduled profile could not be looked up:" << error.what();
        return;
    }
    if (!profile || profile->isDeleted() || !profile->isEnabled())
        return;
    m_applier(profile);
    emit fired(entry);
}

void ProfileScheduler::rearm()
{
    m_timer.stop();
    m_armedEntry.reset();
    m_armedFireDate.reset();
    if (!m_store)
        return;
    for (const ScheduledProfile &entry : m_store->scheduledProfiles()) {
        const std::optional<QDateTime> due = entry.nextFireDate(m_lastCheck, m_zone);
        // The first of several entries due at one time stands for them all.
        if (due && (!m_armedFireDate || *due < *m_armedFireDate)) {
            m_armedEntry = entry;
            m_armedFireDate = due;
        }
    }
    if (!m_armedFireDate)
        return;
    const qint64 untilDue = m_clock().msecsTo(*m_armedFireDate);
    m_timer.start(int(std::clamp<qint64>(untilDue, 0, m_maximumSleep.count())));
}
