#pragma once

#include "KivUtilities/EventObserver.h"

#include <QStringList>

#include <functional>
#include <optional>

namespace KivUtilities {

// Reports mouse clicks made outside this program's windows, except clicks on windows of the
// applications listed at construction.
class ClickOutsideAppEventObserver
{
public:
    // What the window server tells about the owner of one window.
    struct WindowOwner
    {
        std::optional<QString> name;
        std::optional<qint64> processIdentifier;
    };
    using WindowLookup = std::function<std::optional<WindowOwner>(quint64 windowNumber)>;

    // The identifiers are matched without regard to letter case.
    explicit ClickOutsideAppEventObserver(const QStringList &ignoredAppBundleIDs);

    void start(std::function<void()> action);
    void stop() { m_eventObserver.stop(); }

    // Whether the click went to a window of an ignored application.
    bool shouldIgnore(const MonitoredEvent &event) const;
    // Whether one of the ignored identifiers occurs in the (lower-case) text.
    bool matchesIgnoredApp(const QString &text) const;

    const QStringList &ignoredAppBundleIDs() const { return m_ignoredAppBundleIDs; }

    // How window numbers are looked up. There is no window server to ask by default, so no
    // window has a known owner until a lookup is set (an X11 source or a test).
    static void setWindowLookup(WindowLookup lookup);

private:
    EventObserver m_eventObserver;
    QStringList m_ignoredAppBundleIDs;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace KivUtilities
