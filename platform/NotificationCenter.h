#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace Platform {

// Notifications inside the program: a name and a map of details, delivered to everyone who
// listens for that name. Delivery is synchronous, on the posting thread, in the order the
// observers were added.
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static NotificationCenter &defaultCenter();

    NotificationCenter() = default;

    void post(const QString &name, const QVariantMap &userInfo = {});

    // Calls the handler for every notification of that name until the context object is
    // destroyed or the returned connection is disconnected.
    QMetaObject::Connection observe(const QString &name, const QObject *context,
                                    std::function<void(const QVariantMap &userInfo)> handler);

signals:
    void posted(const QString &name, const QVariantMap &userInfo);
};

} // namespace Platform
