#include "KivDesktopBackground/X11DesktopWatcher.h"

#include "KivDesktopBackground/X11Desktop.h"

#include <QCoreApplication>

#include <xcb/xcb.h>

namespace KivDesktopBackground {

X11DesktopWatcher::X11DesktopWatcher(QObject *parent)
    : QObject(parent)
    , m_root(X11Desktop::rootWindow())
    , m_currentDesktopAtom(X11Desktop::atom("_NET_CURRENT_DESKTOP"))
{
    if (m_root && m_currentDesktopAtom)
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
    if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *notify = static_cast<const xcb_property_notify_event_t *>(message);
    if (notify->window == m_root && notify->atom == m_currentDesktopAtom)
        emit currentDesktopChanged();
    return false;
}

} // namespace KivDesktopBackground
