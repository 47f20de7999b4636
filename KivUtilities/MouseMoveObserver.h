#pragma once

#include "KivUtilities/Timeline.h"

#include <QPointF>

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
    bool isRunning() const { return m_timeline.isActive(m_loop); }
    // Times the reports; tests give it their own clock.
    Timeline &timeline() { return m_timeline; }

private:
    Action m_action;
    Timeline m_timeline;
    Timeline::Id m_loop = 0;
};

} // namespace KivUtilities
