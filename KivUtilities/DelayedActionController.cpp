#include "KivUtilities/DelayedActionController.h"

namespace KivUtilities {

DelayedActionController::DelayedActionController(const QString &name, std::chrono::milliseconds interval,
                                                 std::function<void()> action, QObject *parent)
    : QObject(parent)
    , m_interval(interval)
    , m_action(std::move(action))
{
    setObjectName(name.isEmpty() ? QStringLiteral("Unknown Name") : name);
}

void DelayedActionController::trigger()
{
    m_lastTime = QDateTime::currentDateTime();
    m_timeline.cancel(m_pending);
    m_pending = m_timeline.after(m_interval, [this] {
        m_pending = 0;
        if (m_action)
            m_action();
    });
}

} // namespace KivUtilities
