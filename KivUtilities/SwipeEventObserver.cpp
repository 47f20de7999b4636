#include "KivUtilities/SwipeEventObserver.h"

#include "KivUtilities/WindowGeometry.h"

#include <cmath>

namespace KivUtilities {

std::optional<SwipeEventObserver::Direction> SwipeEventObserver::classify(double dx, double dy, double t)
{
    if (dx > t && std::abs(dy) < std::abs(dx))
        return Direction::Right;
    if (dx < -t && std::abs(dy) < std::abs(dx))
        return Direction::Left;
    if (dy > t && std::abs(dx) < std::abs(dy))
        return Direction::Down;
    if (dy < -t && std::abs(dx) < std::abs(dy))
        return Direction::Up;
    return std::nullopt;
}

void SwipeEventObserver::start(QWidget *window, QList<Direction> directions, Action action)
{
    QPointer<QWidget> watched = window;
    m_eventObserver.start(
        EventType::ScrollWheel,
        [this, watched, directions, action](const MonitoredEvent &event, const QPointF &mouse) {
            // Hidden windows and pointers elsewhere report nothing.
            if (!watched || !containsPoint(watched.data(), mouse))
                return;
            const auto direction = classify(event.scrollingDeltaX, event.scrollingDeltaY, threshold);
            if (direction && directions.contains(*direction) && action)
                action(*direction);
        });
}

} // namespace KivUtilities
