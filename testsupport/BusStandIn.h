#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QThread>

namespace TestSupport {

// A service of the desktop on a bus of the test's own (a PrivateSessionBus), with a connection and a
// thread of its own: the program asks it with blocking calls that the test's thread could not answer.
class BusStandIn : public QObject
{
public:
    ~BusStandIn() override
    {
        if (!m_connectionName.isEmpty())
            QDBusConnection::disconnectFromBus(m_connectionName);
        m_thread.quit();
        m_thread.wait();
    }

protected:
    // Offers this object at `path` under the name `service` on the bus at `address`.
    bool offer(const QString &address, const QString &path, const QString &service,
               QDBusConnection::RegisterOptions options)
    {
        m_address = address;
        m_connectionName = QString::fromLatin1(metaObject()->className()) + u'-' + address;
        moveToThread(&m_thread);
        m_thread.start();
        QDBusConnection bus = connection();
        return bus.registerObject(path, this, options) && bus.registerService(service);
    }

    QDBusConnection connection() const { return QDBusConnection::connectToBus(m_address, m_connectionName); }

private:
    QString m_address;
    QString m_connectionName;
    QThread m_thread;
};

} // namespace TestSupport
