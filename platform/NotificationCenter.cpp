#include "platform/NotificationCenter.h"

namespace Platform {

NotificationCenter &NotificationCenter::defaultCenter()
{
    // Never destroyed: observers may disconnect from it while static objects are torn down.
    static auto *center = new NotificationCenter;
    return *center;
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo)
{
    emit posted(name, userInfo);
}

QMetaObject::Connection NotificationCenter::observe(const QString &name, const QObject *context,
                                                    std::function<void(const QVariantMap &userInfo)> handler)
{
    return connect(
        this, &NotificationCenter::posted, context,
        [name, handler = std::move(handler)](const QString &postedName, const QVariantMap &userInfo) {
            if (postedName == name)
                handler(userInfo);
        },
        Qt::DirectConnection);
}

} // namespace Platform
