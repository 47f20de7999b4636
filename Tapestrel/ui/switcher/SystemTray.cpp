#include "Tapestrel/ui/switcher/SystemTray.h"

#include "KivUtilities/SharedInstance.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
// A watcher that does not answer within this time has no tray to offer.
constexpr int watcherTimeoutMilliseconds = 2000;

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t x11Atom(xcb_connection_t *connection, const QByteArray &name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

QDBusMessage hostRegisteredQuery()
{
    QDBusMessage get = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

bool saysHostRegistered(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

} // namespace

SystemTray::SystemTray(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_watcher(new QDBusServiceWatcher(watcherService, bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    if (m_bus.isConnected()) {
        connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &, const QString &newOwner) {
                    if (newOwner.isEmpty())
                        setStatusNotifierHost(false);
                    else
                        askStatusNotifierWatcher();
                });
        // A watcher may be there before the panel that shows its icons registers as its host.
        for (const char *change : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
            m_bus.connect(watcherService, watcherPath, watcherService, QString::fromLatin1(change), this,
                          SLOT(askStatusNotifierWatcher()));
        // Asked at once: what the program says about its switcher is decided as it starts.
        m_statusNotifierHost =
            saysHostRegistered(m_bus.call(hostRegisteredQuery(), QDBus::Block, watcherTimeoutMilliseconds));
    }
    if (xcb_connection_t *connection = x11Connection()) {
        m_xembedSelection = x11Atom(connection, QByteArrayLiteral("_NET_SYSTEM_TRAY_S0"));
        m_managerMessage = x11Atom(connection, QByteArrayLiteral("MANAGER"));
        // A tray that takes the selection says so to every client on the root window.
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

SystemTray::~SystemTray()
{
    if (m_managerMessage && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

SystemTray &SystemTray::shared()
{
    return KivUtilities::SharedInstance<SystemTray>::get([] { return std::make_unique<SystemTray>(); });
}

void SystemTray::setShared(std::unique_ptr<SystemTray> tray)
{
    KivUtilities::SharedInstance<SystemTray>::set(std::move(tray));
}

bool SystemTray::isAvailable() const
{
    if (m_statusNotifierHost)
        return true;
    xcb_connection_t *connection = m_xembedSelection ? x11Connection() : nullptr;
    if (!connection)
        return false;
    // Asked each time: a tray that ends says nothing.
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, m_xembedSelection), nullptr);
    const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}

bool SystemTray::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
        const auto *client = static_cast<const xcb_client_message_event_t *>(message);
        if (client->type == m_managerMessage && client->data.data32[1] == m_xembedSelection)
            emit availableChanged();
    }
    return false;
}

void SystemTray::askStatusNotifierWatcher()
{
    auto *call =
        new QDBusPendingCallWatcher(m_bus.asyncCall(hostRegisteredQuery(), watcherTimeoutMilliseconds), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        setStatusNotifierHost(saysHostRegistered(finished->reply()));
    });
}

void SystemTray::setStatusNotifierHost(bool registered)
{
    if (registered == m_statusNotifierHost)
        return;
    m_statusNotifierHost = registered;
    emit availableChanged();
}
