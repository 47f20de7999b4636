#pragma once

#include <QList>
#include <QtGlobal>

#include <optional>

// The windows of running applications as the accessibility interface shows them. This desktop
// offers no such interface to the program, so the system's instance sees no windows; tests install
// a scripted one.
class WindowAccessibility
{
public:
    using WindowID = quint64;

    virtual ~WindowAccessibility() = default;

    // The windows of the application with this process identifier; none when they cannot be read.
    virtual std::optional<QList<WindowID>> windows(qint64 processIdentifier) const = 0;
    // Whether a window is minimised; none when the flag cannot be read.
    virtual std::optional<bool> isMinimized(qint64 processIdentifier, WindowID window) const = 0;
    // Minimises or restores a window; false when the window is gone or refuses.
    virtual bool setMinimized(qint64 processIdentifier, WindowID window, bool minimized) = 0;

    // The instance in use: the system's unless a test installed another one.
    static WindowAccessibility &current();
    // Installs an instance (nullptr restores the system's). The caller keeps it alive.
    static void setCurrent(WindowAccessibility *accessibility);
};
