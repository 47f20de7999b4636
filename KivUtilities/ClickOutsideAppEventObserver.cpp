#include "KivUtilities/ClickOutsideAppEventObserver.h"

#include "platform/Workspace.h"

#include <limits>

namespace KivUtilities {

namespace {

ClickOutsideAppEventObserver::WindowLookup &windowLookup()
{
    static ClickOutsideAppEventObserver::WindowLookup lookup;
    return lookup;
}

} // namespace

void ClickOutsideAppEventObserver::setWindowLookup(WindowLookup lookup)
{
    windowLookup() = std::move(lookup);
}

ClickOutsideAppEventObserver::ClickOutsideAppEventObserver(const QStringList &ignoredAppBundleIDs)
{
    for (const QString &identifier : ignoredAppBundleIDs)
        m_ignoredAppBundleIDs.append(identifier.toLower());
}

void ClickOutsideAppEventObserver::start(std::function<void()> action)
{
    std::weak_ptr<bool> alive = m_alive;
    m_eventObserver.start(EventType::LeftMouseDown,
                          [this, alive, action](const MonitoredEvent &event, const QPointF &) {
                              if (alive.expired())
                                  return;
                              if (shouldIgnore(event))
                                  return;
                              if (event.window) // a click in one of this program's own windows
                                  return;
                              if (action)
                                  action();
                          });
}

bool ClickOutsideAppEventObserver::shouldIgnore(const MonitoredEvent &event) const
{
    const quint64 number = event.windowNumber;
    if (number < 1 || number > std::numeric_limits<quint32>::max())
        return false;
    const WindowLookup &lookup = windowLookup();
    const std::optional<WindowOwner> owner = lookup ? lookup(number) : std::nullopt;
    if (!owner)
        return false;
    if (owner->name && matchesIgnoredApp(owner->name->toLower()))
        return true;
    const std::optional<qint64> pid = owner->processIdentifier;
    if (!pid || *pid < std::numeric_limits<qint32>::min() || *pid > std::numeric_limits<qint32>::max())
        return false;
    for (const Platform::RunningApplication &app : Platform::Workspace::shared().runningApplications()) {
        if (app.processIdentifier == *pid && !app.bundleIdentifier.isEmpty())
            return matchesIgnoredApp(app.bundleIdentifier.toLower());
    }
    return false;
}

bool ClickOutsideAppEventObserver::matchesIgnoredApp(const QString &text) const
{
    for (const QString &identifier : m_ignoredAppBundleIDs) {
        if (text.contains(identifier))
            return true;
    }
    return false;
}

} // namespace KivUtilities
