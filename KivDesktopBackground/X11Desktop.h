#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

class QWidget;
struct xcb_connection_t;

namespace KivDesktopBackground {

// The few X11 requests that desktop-level windows need and Qt does not offer.
class X11Desktop
{
public:
    // True when the application runs on the xcb platform with a connection.
    static bool isAvailable();
    static xcb_connection_t *connection();
    static std::uint32_t rootWindow();
    static std::uint32_t atom(const QByteArray &name);

    // Whether a compositing manager owns the selection "_NET_WM_CM_S<n>" of the first screen.
    static bool compositingActive();

    // Marks a not yet mapped top-level window as part of the desktop: window type desktop, on every
    // virtual desktop, below other windows, left out of task bars and pagers, and known as one of the
    // program's background windows. Does nothing off X11.
    static void markAsDesktopWindow(QWidget *window);

    // Another program's desktop window that is shown: a viewable window of type desktop, at the top
    // or inside a window manager's frame, that is none of the program's background windows (of any
    // running copy of it). Gives its WM_CLASS class name, else its title, else "another program";
    // nothing when there is none or off X11.
    static std::optional<QString> otherDesktopWindow();

    // The atoms of an ATOM[] or the values of a CARDINAL[] property of a window (for checks).
    static QList<std::uint32_t> property32(std::uint32_t window, const QByteArray &name);
};

} // namespace KivDesktopBackground
