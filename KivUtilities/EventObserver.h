#pragma once

#include "KivUtilities/MonitoredEvent.h"

#include <functional>
#include <memory>
#include <optional>

namespace KivUtilities {

// Watches one set of event types both in this program and in others and reports each event with
// the mouse position at the time it is handled. Events are never consumed or changed.
class EventObserver
{
public:
    using Action = std::function<void(const MonitoredEvent &event, const QPointF &mouseLocation)>;

    EventObserver();
    ~EventObserver();
    EventObserver(const EventObserver &) = delete;
    EventObserver &operator=(const EventObserver &) = delete;

    // A second start replaces the first.
    void start(EventMask mask, Action action);
    void stop();
    bool isObserving() const { return m_localMonitor || m_globalMonitor; }

private:
    void handle(const MonitoredEvent &event);

    std::optional<int> m_localMonitor;
    std::optional<int> m_globalMonitor;
    Action m_action;
    // Monitors hold this weakly: a handler that outlives the observer finds it gone.
    std::shared_ptr<EventObserver *> m_self;
};

} // namespace KivUtilities
