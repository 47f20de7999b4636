#include "KivUtilities/EventObserver.h"

#include "KivUtilities/EventMonitors.h"

namespace KivUtilities {

EventObserver::EventObserver()
    : m_self(std::make_shared<EventObserver *>(this))
{ }

EventObserver::~EventObserver()
{
    stop();
}

void EventObserver::start(EventMask mask, Action action)
{
    stop();
    m_action = std::move(action);
    std::weak_ptr<EventObserver *> weak = m_self;
    auto &monitors = EventMonitors::shared();
    m_globalMonitor = monitors.addGlobalMonitor(mask, [weak](const MonitoredEvent &event) {
        if (auto self = weak.lock())
            (*self)->handle(event);
    });
    m_localMonitor = monitors.addLocalMonitor(mask, [weak](const MonitoredEvent &event) {
        if (auto self = weak.lock())
            (*self)->handle(event);
        return false; // never swallowed
    });
}

void EventObserver::stop()
{
    m_action = nullptr;
    auto &monitors = EventMonitors::shared();
    if (m_globalMonitor)
        monitors.removeMonitor(*m_globalMonitor);
    if (m_localMonitor)
        monitors.removeMonitor(*m_localMonitor);
    m_globalMonitor.reset();
    m_localMonitor.reset();
}

void EventObserver::handle(const MonitoredEvent &event)
{
    if (!m_action)
        return;
    const Action action = m_action; // the action may stop this observer
    action(event, EventMonitors::shared().mouseLocation());
}

} // namespace KivUtilities
