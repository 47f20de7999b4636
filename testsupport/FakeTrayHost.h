#pragma once

#include "testsupport/BusStandIn.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

namespace TestSupport {

// A desktop's system tray on a bus of the test's own (a PrivateSessionBus): the StatusNotifierWatcher
// with which a panel's tray announces itself, and through which tray icons register. It keeps the
// names of the icons registered with it.
class FakeTrayHost : public BusStandIn
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)

public:
    bool start(const QString &address)
    {
        return offer(address, QStringLiteral("/StatusNotifierWatcher"),
                     QStringLiteral("org.kde.StatusNotifierWatcher"),
                     QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
    }

    bool isStatusNotifierHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registeredItems() const
    {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }

public slots:
    void RegisterStatusNotifierItem(const QString &item)
    {
        QMutexLocker lock(&m_mutex);
        m_items.append(item);
    }
    void RegisterStatusNotifierHost(const QString &) { }

private:
    mutable QMutex m_mutex;
    QStringList m_items;
};

} // namespace TestSupport
