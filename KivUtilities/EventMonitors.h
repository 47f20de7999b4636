#pragma once

#include "KivUtilities/MonitoredEvent.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <optional>

class QKeyEvent;

namespace KivUtilities {

// Event monitors of the program: local monitors see input sent to this program's windows before
// the windows do and may consume it; global monitors see input sent to other applications.
// Global input is only observable on X11 and no source feeds it yet: global monitors stay quiet
// unless something calls dispatchGlobal() (tests do, with synthetic events).
class EventMonitors : public QObject
{
    Q_OBJECT
public:
    using LocalHandler = std::function<bool(const MonitoredEvent &)>; // true: consume the event
    using GlobalHandler = std::function<void(const MonitoredEvent &)>;

    static EventMonitors &shared();

    int addLocalMonitor(EventMask mask, LocalHandler handler);
    int addGlobalMonitor(EventMask mask, GlobalHandler handler);
    void removeMonitor(int token);
    int localMonitorCount() const;
    int globalMonitorCount() const;

    // Hands an event of another application to the global monitors.
    void dispatchGlobal(const MonitoredEvent &event);
    // Hands an event to the local monitors; true when one consumed it.
    bool dispatchLocal(const MonitoredEvent &event);

    // The mouse position in Qt's global screen coordinates (as WindowGeometry's point tests take
    // it). Tests may pin it.
    QPointF mouseLocation() const;
    void setMouseLocationOverride(std::optional<QPointF> location) { m_mouseOverride = location; }

    // The monitored form of a Qt key event: modifiers in the shortcut bits (Ctrl stands for
    // Command, Meta for Control, Alt for Option), the key's characters ignoring modifiers except
    // Shift, and the virtual key code of the key where it has one.
    static MonitoredEvent fromKeyEvent(const QKeyEvent &event, QWidget *window = nullptr);
    static int virtualKeyCode(int qtKey);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    EventMonitors();

    struct Monitor
    {
        EventMask mask;
        LocalHandler local;
        GlobalHandler global;
    };
    QMap<int, Monitor> m_monitors; // by token, so they run in the order they were added
    int m_nextToken = 1;
    std::optional<QPointF> m_mouseOverride;
    bool m_filterInstalled = false;
};

} // namespace KivUtilities
