#pragma once

#include "testsupport/BusStandIn.h"

#include <QDBusMessage>
#include <QDBusVariant>

#include <atomic>

namespace TestSupport {

// The desktop portal's settings object, as a desktop offers it, on a bus of the test's own (a
// PrivateSessionBus): it answers the appearance's colour scheme and sends SettingChanged when told.
// A silent portal takes the question and never answers.
class FakePortal : public BusStandIn
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    static constexpr const char *service = "org.freedesktop.portal.Desktop";
    static constexpr const char *path = "/org/freedesktop/portal/desktop";

    std::atomic<uint> scheme {1}; // 1 prefers dark
    std::atomic<bool> silent {false};
    std::atomic<int> reads {0};

    // Offers the portal on the bus at `address`.
    bool start(const QString &address)
    {
        return offer(address, QString::fromLatin1(path), QString::fromLatin1(service),
                     QDBusConnection::ExportAllSlots);
    }

    // The desktop's own settings changed the colour scheme.
    void change(uint newScheme)
    {
        scheme = newScheme;
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(path),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(newScheme));
        connection().send(signal);
    }

    void leave() { connection().unregisterService(QString::fromLatin1(service)); }

public slots:
    QDBusVariant Read(const QString &group, const QString &key, const QDBusMessage &message)
    {
        ++reads;
        if (silent) {
            message.setDelayedReply(true);
            return {};
        }
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme")) {
            message.setDelayedReply(true);
            connection().send(
                message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                         QStringLiteral("Requested setting not found")));
            return {};
        }
        // The portal's first version wraps the value in one variant more than its signal does.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(uint(scheme))));
    }
};

} // namespace TestSupport
