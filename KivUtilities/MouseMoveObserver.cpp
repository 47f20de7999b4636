#include "KivUtilities/MouseMoveObserver.h"

#include "KivUtilities/EventMonitors.h"

namespace KivUtilities {

void MouseMoveObserver::start(double intervalSeconds, Action action)
{
    stop();
    m_action = std::move(action);
    m_timer.disconnect();
    m_timer.setInterval(qMax(1, qRound(intervalSeconds * 1000)));
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (m_action)
            m_action(EventMonitors::shared().mouseLocation());
    });
    m_timer.start();
    if (m_action)
        m_action(EventMonitors::shared().mouseLocation());
}

void MouseMoveObserver::stop()
{
    m_action = nullptr;
    m_timer.stop();
}

} // namespace KivUtilities
