#include "KivDesktopBackground/X11Desktop.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace KivDesktopBackground {

namespace {

// Qt's xcb plugin reads this dynamic window property when it sets _NET_WM_WINDOW_TYPE; the value
// is its "desktop" window type. Setting the atom ourselves would be overwritten on every flag change.
constexpr const char *windowTypeProperty = "_q_xcb_wm_window_type";
constexpr int desktopWindowType = 0x000002;

constexpr std::uint32_t allDesktops = 0xFFFFFFFF;

} // namespace

bool X11Desktop::isAvailable()
{
    return connection() != nullptr;
}

xcb_connection_t *X11Desktop::connection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

std::uint32_t X11Desktop::rootWindow()
{
    xcb_connection_t *c = connection();
    if (!c)
        return 0;
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    return it.rem > 0 ? it.data->root : 0;
}

std::uint32_t X11Desktop::atom(const QByteArray &name)
{
    xcb_connection_t *c = connection();
    if (!c)
        return 0;
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.constData()), nullptr);
    if (!reply)
        return 0;
    const std::uint32_t result = reply->atom;
    std::free(reply);
    return result;
}

bool X11Desktop::compositingActive()
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    const std::uint32_t selection = atom("_NET_WM_CM_S0");
    if (!selection)
        return false;
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!reply)
        return false;
    const bool owned = reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

void X11Desktop::markAsDesktopWindow(QWidget *window)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return;
    window->winId(); // creates the native window
    QWindow *handle = window->windowHandle();
    if (!handle)
        return;
    handle->setProperty(windowTypeProperty, desktopWindowType);
    // The plugin applies the type only when the flags change; change one and back so it happens now.
    const Qt::WindowFlags flags = handle->flags();
    handle->setFlags(flags ^ Qt::NoDropShadowWindowHint);
    handle->setFlags(flags);

    const auto id = static_cast<xcb_window_t>(window->winId());
    const std::uint32_t cardinal = XCB_ATOM_CARDINAL;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom("_NET_WM_DESKTOP"), cardinal, 32, 1, &allDesktops);
    // Before the first map, the window manager takes the initial state from this property.
    const std::uint32_t states[] = {atom("_NET_WM_STATE_BELOW"), atom("_NET_WM_STATE_STICKY"),
                                    atom("_NET_WM_STATE_SKIP_TASKBAR"), atom("_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                        sizeof(states) / sizeof(states[0]), states);
    xcb_flush(c);
}

QList<std::uint32_t> X11Desktop::property32(std::uint32_t window, const QByteArray &name)
{
    QList<std::uint32_t> values;
    xcb_connection_t *c = connection();
    if (!c)
        return values;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
    if (!reply)
        return values;
    if (reply->format == 32) {
        const auto *data = static_cast<const std::uint32_t *>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < count; ++i)
            values.append(data[i]);
    }
    std::free(reply);
    return values;
}

} // namespace KivDesktopBackground
