#include "testsupport/X11Windows.h"

#include "testsupport/RunTask.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace TestSupport::X11 {

namespace {

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t *connection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t root(xcb_connection_t *c)
{
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    return it.rem > 0 ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_atom_t atom(xcb_connection_t *c, const QByteArray &name)
{
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.constData()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QByteArray property(xcb_connection_t *c, Window window, xcb_atom_t name, xcb_atom_t type)
{
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 4096), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// Event times that only grow, so that two clicks at one place are never taken for a double click.
xcb_timestamp_t nextTime()
{
    static QElapsedTimer clock;
    static xcb_timestamp_t last = 0;
    if (!clock.isValid())
        clock.start();
    last = std::max<xcb_timestamp_t>(last + 1000, xcb_timestamp_t(clock.elapsed()) + 1000000);
    return last;
}

void send(xcb_connection_t *c, Window window, const void *event)
{
    // An empty event mask sends the event to the client that made the window, whatever it selected.
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, static_cast<const char *>(event));
    xcb_flush(c);
}

} // namespace

bool available()
{
    return connection() != nullptr;
}

QList<Window> windowsOf(qint64 processId)
{
    QList<Window> found;
    xcb_connection_t *c = connection();
    if (!c)
        return found;
    const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root(c)), nullptr));
    if (!tree)
        return found;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        const QByteArray pid = property(c, children[i], pidAtom, XCB_ATOM_CARDINAL);
        if (pid.size() == 4 && *reinterpret_cast<const std::uint32_t *>(pid.constData()) == processId)
            found.append(children[i]);
    }
    return found;
}

QRect geometry(Window window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return {};
    Reply<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    Reply<xcb_translate_coordinates_reply_t> place(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root(c), 0, 0), nullptr));
    if (!size || !place)
        return {};
    return QRect(place->dst_x, place->dst_y, size->width, size->height);
}

QString title(Window window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return {};
    const QByteArray name = property(c, window, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"));
    if (!name.isNull())
        return QString::fromUtf8(name);
    return QString::fromLatin1(property(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING));
}

QByteArrayList wmClass(Window window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return {};
    QByteArray value = property(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    if (value.endsWith('\0'))
        value.chop(1);
    return value.isEmpty() ? QByteArrayList() : value.split('\0');
}

QImage grab(Window window)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!available() || !screen || geometry(window).isEmpty())
        return {};
    return screen->grabWindow(window).toImage();
}

QImage settled(Window window, std::chrono::milliseconds still, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer unchanged;
    QImage last;
    while (clock.elapsed() < timeout.count()) {
        const QImage now = grab(window);
        if (now.isNull())
            return {};
        if (now != last) {
            last = now;
            unchanged.start();
        } else if (unchanged.elapsed() >= still.count()) {
            return last;
        }
        spinEventLoop(std::chrono::milliseconds(50));
    }
    return {};
}

void click(Window window, QPoint at)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const QPoint global = geometry(window).topLeft() + at;
    for (const bool press : {true, false}) {
        xcb_button_press_event_t event {};
        event.response_type = press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE;
        event.detail = 1;
        event.time = nextTime();
        event.root = root(c);
        event.event = window;
        event.child = XCB_WINDOW_NONE;
        event.root_x = static_cast<std::int16_t>(global.x());
        event.root_y = static_cast<std::int16_t>(global.y());
        event.event_x = static_cast<std::int16_t>(at.x());
        event.event_y = static_cast<std::int16_t>(at.y());
        event.state = press ? 0 : XCB_BUTTON_MASK_1;
        event.same_screen = 1;
        send(c, window, &event);
    }
}

void sync()
{
    if (xcb_connection_t *c = connection())
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void requestClose(Window window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    send(c, window, &event);
}

} // namespace TestSupport::X11
