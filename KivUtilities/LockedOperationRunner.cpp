#include "KivUtilities/LockedOperationRunner.h"

#include <QPointer>
#include <QThread>

namespace KivUtilities {

LockedOperationRunner::LockedOperationRunner(std::optional<std::chrono::milliseconds> minimumDuration,
                                             std::function<void()> operation, QObject *parent)
    : QObject(parent)
    , m_operation(std::move(operation))
    , m_minimumDuration(minimumDuration)
{ }

void LockedOperationRunner::run()
{
    if (m_isLocked.exchange(true))
        return;
    const auto minimumDuration = m_minimumDuration;
    const std::chrono::nanoseconds started = m_timeline.now();

    struct Finish
    {
        LockedOperationRunner *runner;
        std::optional<std::chrono::milliseconds> minimumDuration;
        std::chrono::nanoseconds started;
        ~Finish()
        {
            runner->m_isWorking = false;
            if (minimumDuration)
                runner->releaseAt(started + *minimumDuration);
            else
                runner->m_isLocked = false;
        }
    } finish {this, minimumDuration, started};

    m_isWorking = true;
    if (m_operation)
        m_operation();
}

void LockedOperationRunner::releaseAt(std::chrono::nanoseconds deadline)
{
    // The release always happens on the runner's thread, never inside run().
    QMetaObject::invokeMethod(
        this,
        [this, deadline] {
            const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - m_timeline.now());
            m_timeline.after(std::max(remaining, std::chrono::milliseconds(0)),
                             [this] { m_isLocked = false; });
        },
        Qt::QueuedConnection);
}

} // namespace KivUtilities
