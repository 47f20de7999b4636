#include "KivUtilities/DelayedActionController.h"

namespace KivUtilities {

DelayedActionController::DelayedActionController(const QString &name, std::chrono::milliseconds interval,
                                                 std::function<void()> action, QObject *parent)
    : QObject(parent)
    , m_interval(interval)
    , m_action(std::move(action))
{
    setObjectName(name.isEmpty() ? QStringLiteral("Unknown Name") : name);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_action)
            m_action();
    });
}

void DelayedActionController::trigger()
{
    m_lastTime = QDateTime::currentDateTime();
    m_timer.start();
}

} // namespace KivUtilities
