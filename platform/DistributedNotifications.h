#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace Platform {

struct DistributedNotification
{
    QString name;
    QString object;
    QVariantMap userInfo;

    friend bool operator==(const DistributedNotification &, const DistributedNotification &) = default;
};

// Notifications posted for other applications to hear (the system's "something changed in the
// appearance" announcements). Every post is kept in order for tests and diagnostics, announced in
// process through notificationPosted, and sent as the D-Bus signal
//   path "/com/quorvane/Tapestrel/DistributedNotifications",
//   interface "com.quorvane.Tapestrel.DistributedNotifications", member "Posted",
//   arguments (name: s, object: s, userInfo: a{sv})
// when a session bus is available. Without a bus a post still succeeds in process.
// post() may be called from any thread.
class DistributedNotifications : public QObject
{
    Q_OBJECT

public:
    static inline const QString dbusPath = QStringLiteral("/com/quorvane/Tapestrel/DistributedNotifications");
    static inline const QString dbusInterface =
        QStringLiteral("com.quorvane.Tapestrel.DistributedNotifications");
    static inline const QString dbusMember = QStringLiteral("Posted");

    static DistributedNotifications &defaultCenter();

    // Returns whether the D-Bus signal went out.
    bool post(const QString &name, const QString &object = {}, const QVariantMap &userInfo = {});

    QList<DistributedNotification> posted() const;
    void clearPosted();

signals:
    void notificationPosted(const Platform::DistributedNotification &notification);

private:
    DistributedNotifications() = default;

    mutable QMutex m_mutex;
    QList<DistributedNotification> m_posted;
};

} // namespace Platform
