#include "KivUtilities/ToastController.h"

#include "platform/NotificationCenter.h"

#include <QVariantMap>

namespace KivUtilities {

ToastController &ToastController::shared()
{
    static ToastController instance;
    return instance;
}

void ToastController::show(const LocalizedStringKey &message, const std::optional<QString> &symbol,
                           ToastPosition position)
{
    QVariantMap userInfo;
    userInfo.insert(QStringLiteral("message"), QVariant::fromValue(message));
    userInfo.insert(QStringLiteral("symbol"), symbol.value_or(QString()));
    userInfo.insert(QStringLiteral("position"), toRawValue(position));
    Platform::NotificationCenter::defaultCenter().post(notificationName, userInfo);
}

} // namespace KivUtilities
