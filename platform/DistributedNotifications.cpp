#include "platform/DistributedNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMutexLocker>

namespace Platform {

namespace {

// D-Bus carries the basic types as they are; anything else travels as its text form so that one
// odd value never loses the whole signal.
QVariantMap forBus(const QVariantMap &userInfo)
{
    QVariantMap converted;
    for (auto it = userInfo.cbegin(); it != userInfo.cend(); ++it) {
        const QVariant &value = it.value();
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::QString:
        case QMetaType::QByteArray:
        case QMetaType::QStringList:
            converted.insert(it.key(), value);
            break;
        case QMetaType::QVariantMap:
            converted.insert(it.key(), QVariant::fromValue(forBus(value.toMap())));
            break;
        default:
            converted.insert(it.key(), value.toString());
            break;
        }
    }
    return converted;
}

} // namespace

DistributedNotifications &DistributedNotifications::defaultCenter()
{
    static DistributedNotifications *instance = new DistributedNotifications;
    return *instance;
}

bool DistributedNotifications::post(const QString &name, const QString &object, const QVariantMap &userInfo)
{
    const DistributedNotification notification {name, object, userInfo};
    {
        QMutexLocker locker(&m_mutex);
        m_posted.append(notification);
    }
    emit notificationPosted(notification);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage signal = QDBusMessage::createSignal(dbusPath, dbusInterface, dbusMember);
    signal << name << object << forBus(userInfo);
    return bus.send(signal);
}

QList<DistributedNotification> DistributedNotifications::posted() const
{
    QMutexLocker locker(&m_mutex);
    return m_posted;
}

void DistributedNotifications::clearPosted()
{
    QMutexLocker locker(&m_mutex);
    m_posted.clear();
}

} // namespace Platform
