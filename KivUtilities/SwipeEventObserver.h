#pragma once

#include "KivUtilities/EventObserver.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace KivUtilities {

// Turns scroll-wheel events over one window into swipe directions. Each event is judged alone:
// one physical swipe may report the same direction several times.
class SwipeEventObserver
{
public:
    enum class Direction { Left, Right, Up, Down };
    using Action = std::function<void(Direction)>;

    // Scroll delta, in points, that an axis has to exceed; read afresh for each event.
    double threshold = 5.0;

    void start(QWidget *window, QList<Direction> directions, Action action);
    void stop() { m_eventObserver.stop(); }

    static std::optional<Direction> classify(double dx, double dy, double threshold);

private:
    EventObserver m_eventObserver;
};

} // namespace KivUtilities
