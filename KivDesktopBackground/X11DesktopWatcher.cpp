#include "KivDesktopBackground/X11DesktopWatcher.h"

#include "KivDesktopBackground/X11Desktop.h"

#include <QCoreApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace KivDesktopBackground {

X11DesktopWatcher::X11DesktopWatcher(QObject *parent)
    : QObject(parent)
    , m_root(X11Desktop::rootWindow())
    , m_currentDesktopAtom(X11Desktop::atom("_NET_CURRENT_DESKTOP"))
{
    if (!m_root || !m_currentDesktopAtom)
        return;
    // The root's notices of its children coming and going: a window manager's frames among them. The
    // events this connection already asks for stay.
    xcb_connection_t *c = X11Desktop::connection();
    if (xcb_get_window_attributes_reply_t *attributes =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, m_root), nullptr)) {
        const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        std::free(attributes);
        xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11DesktopWatcher::~X11DesktopWatcher()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11DesktopWatcher::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & ~0x80) {
    case XCB_PROPERTY_NOTIFY: {
        const auto *notify = static_cast<const xcb_property_notify_event_t *>(message);
        if (notify->window == m_root && notify->atom == m_currentDesktopAtom)
            emit currentDesktopChanged();
        break;
    }
    // A window shown or hidden at the top, a window manager's frame among them (a window that goes
    // is hidden first). Both begin with the window whose children changed.
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY:
        if (static_cast<const xcb_map_notify_event_t *>(message)->event == m_root)
            emit windowsChanged();
        break;
    default:
        break;
    }
    return false;
}

} // namespace KivDesktopBackground
