#include "KivUtilities/MouseMoveObserver.h"

#include "KivUtilities/EventMonitors.h"

#include <utility>

namespace KivUtilities {

void MouseMoveObserver::start(double intervalSeconds, Action action)
{
    stop();
    m_action = std::move(action);
    m_loop = m_timeline.every(std::chrono::milliseconds(qMax(1, qRound(intervalSeconds * 1000))), [this] {
        if (m_action)
            m_action(EventMonitors::shared().mouseLocation());
    });
    if (m_action)
        m_action(EventMonitors::shared().mouseLocation());
}

void MouseMoveObserver::stop()
{
    m_action = nullptr;
    m_timeline.cancel(std::exchange(m_loop, 0));
}

} // namespace KivUtilities
