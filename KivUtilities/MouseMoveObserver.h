#pragma once

#include <QPointF>
#include <QTimer>

#include <functional>

namespace KivUtilities {

// Reports the mouse position (Qt's global screen coordinates) at once and then at a fixed
// interval.
class MouseMoveObserver
{
public:
    using Action = std::function<void(const QPointF &mouseLocation)>;

    ~MouseMoveObserver() { stop(); }

    void start(double intervalSeconds, Action action);
    void stop();
    bool isRunning() const { return m_timer.isActive(); }

private:
    Action m_action;
    QTimer m_timer;
};

} // namespace KivUtilities
