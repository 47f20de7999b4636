#include "KivDesktopBackground/X11Desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace KivDesktopBackground {

namespace {

// Qt's xcb plugin reads this dynamic window property when it sets _NET_WM_WINDOW_TYPE; the value
// is its "desktop" window type. Setting the atom ourselves would be overwritten on every flag change.
constexpr const char *windowTypeProperty = "_q_xcb_wm_window_type";
constexpr int desktopWindowType = 0x000002;

constexpr std::uint32_t allDesktops = 0xFFFFFFFF;

// Set on the program's background windows, so that no copy of the program takes another's windows for
// another program's desktop.
constexpr const char *backgroundMarker = "_TAPESTREL_BACKGROUND_WINDOW";

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeReply>;

// The children of each window, asked for all at once: one round trip, whatever their number.
QList<xcb_window_t> childrenOf(xcb_connection_t *c, const QList<xcb_window_t> &parents)
{
    QList<xcb_query_tree_cookie_t> asked;
    asked.reserve(parents.size());
    for (const xcb_window_t parent : parents)
        asked.append(xcb_query_tree(c, parent));
    QList<xcb_window_t> children;
    for (const xcb_query_tree_cookie_t cookie : asked) {
        const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, cookie, nullptr));
        if (!tree)
            continue;
        const xcb_window_t *first = xcb_query_tree_children(tree.get());
        children.append(QList<xcb_window_t>(first, first + xcb_query_tree_children_length(tree.get())));
    }
    return children;
}

QByteArray propertyBytes(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 256), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// What a person would call the program that made the window.
QString programOf(xcb_connection_t *c, xcb_window_t window)
{
    const QList<QByteArray> names = propertyBytes(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).split('\0');
    for (qsizetype i = std::min<qsizetype>(names.size(), 2) - 1; i >= 0; --i) {
        if (!names[i].trimmed().isEmpty())
            return QString::fromLatin1(names[i]).trimmed();
    }
    const QByteArray title =
        propertyBytes(c, window, X11Desktop::atom("_NET_WM_NAME"), X11Desktop::atom("UTF8_STRING")).trimmed();
    if (!title.isEmpty())
        return QString::fromUtf8(title).left(80);
    return QCoreApplication::translate("X11Desktop", "another program");
}

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
    const std::uint32_t ours = 1;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(backgroundMarker), cardinal, 32, 1, &ours);
    xcb_flush(c);
}

std::optional<QString> X11Desktop::otherDesktopWindow()
{
    xcb_connection_t *c = connection();
    const xcb_window_t root = rootWindow();
    if (!c || !root)
        return std::nullopt;
    const xcb_atom_t windowType = atom("_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktopType = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    const xcb_atom_t marker = atom(backgroundMarker);
    // The top-level windows, and the windows that a window manager put into frames of its own.
    const QList<xcb_window_t> topLevel = childrenOf(c, {root});
    const QList<xcb_window_t> windows = topLevel + childrenOf(c, topLevel);

    struct Asked
    {
        xcb_window_t window;
        xcb_get_property_cookie_t type;
        xcb_get_window_attributes_cookie_t attributes;
    };
    QList<Asked> asked;
    asked.reserve(windows.size());
    for (const xcb_window_t window : windows)
        asked.append({window, xcb_get_property(c, 0, window, windowType, XCB_ATOM_ATOM, 0, 32),
                      xcb_get_window_attributes(c, window)});
    QList<xcb_window_t> desktops;
    for (const Asked &one : asked) {
        const Reply<xcb_get_property_reply_t> type(xcb_get_property_reply(c, one.type, nullptr));
        const Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, one.attributes, nullptr));
        if (!type || !attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || type->format != 32)
            continue;
        const auto *types = static_cast<const xcb_atom_t *>(xcb_get_property_value(type.get()));
        const int count = xcb_get_property_value_length(type.get()) / 4;
        if (std::find(types, types + count, desktopType) != types + count)
            desktops.append(one.window);
    }
    for (const xcb_window_t window : std::as_const(desktops)) {
        if (propertyBytes(c, window, marker, XCB_ATOM_CARDINAL).isEmpty())
            return programOf(c, window);
    }
    return std::nullopt;
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
