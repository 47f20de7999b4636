#pragma once

#include "testsupport/RunTask.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace TestSupport {

// A session bus of one test's own, for the real program: the program takes its well-known name there,
// out of the way of the tests that run beside it on the shared bus. `serviceFolder` lets the bus start
// programs from the D-Bus service files in it. The bus ends with the object, after killing whatever
// owns the names in `ownedNames()` then.
class PrivateSessionBus
{
public:
    explicit PrivateSessionBus(
        const QString &serviceFolder = {},
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        QString configuration =
            QStringLiteral("<busconfig><type>session</type><listen>unix:tmpdir=%1</listen>"
                           "<policy context=\"default\"><allow send_destination=\"*\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>")
                .arg(m_folder.path());
        if (!serviceFolder.isEmpty())
            configuration += QStringLiteral("<servicedir>%1</servicedir>").arg(serviceFolder);
        configuration += QStringLiteral("</busconfig>");
        QFile file(m_folder.filePath(QStringLiteral("bus.conf")));
        if (!file.open(QIODevice::WriteOnly) || file.write(configuration.toUtf8()) < 0)
            return;
        file.close();
        m_daemon.setProcessEnvironment(environment);
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + file.fileName(), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (m_daemon.waitForStarted(10000)
            && waitUntil([this] { return m_daemon.canReadLine(); }, std::chrono::seconds(10)))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }

    ~PrivateSessionBus()
    {
        for (const QString &name : std::as_const(m_ownedNames)) {
            if (const qint64 pid = ownerPid(name))
                ::kill(pid_t(pid), SIGKILL);
        }
        QDBusConnection::disconnectFromBus(connectionName());
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(10000);
        }
    }

    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    // For DBUS_SESSION_BUS_ADDRESS of a child process.
    QString address() const { return m_address; }
    // This process's connection to the bus.
    QDBusConnection connection() const { return QDBusConnection::connectToBus(m_address, connectionName()); }

    // Ends the bus now, as a session's end does.
    void stop()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(10000);
    }

    // The names whose owners are killed at the end.
    void killOwnersAtEnd(const QStringList &names) { m_ownedNames = names; }

    // The process that holds a name; 0 when none does.
    qint64 ownerPid(const QString &name) const
    {
        if (!isRunning())
            return 0;
        QDBusConnection bus = connection();
        QDBusConnectionInterface *interface = bus.isConnected() ? bus.interface() : nullptr;
        const QDBusReply<uint> owner = interface ? interface->servicePid(name) : QDBusReply<uint>();
        return owner.isValid() ? qint64(owner.value()) : 0;
    }

    // Waits until `process` holds `name`: it is started and on the bus.
    [[nodiscard]] bool waitForOwner(const QString &name, const QProcess &process,
                                    std::chrono::milliseconds timeout = std::chrono::minutes(1)) const
    {
        return waitUntil([&] { return ownerPid(name) == process.processId(); }, timeout);
    }

private:
    QString connectionName() const { return QStringLiteral("private-bus-") + m_folder.path(); }

    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QStringList m_ownedNames;
};

} // namespace TestSupport
