#include "Tapestrel/system/WallpaperTintingOptionModel.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/model/ToggleOptionPicker.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/DistributedNotifications.h"

namespace {
const QString defaultsKey = QStringLiteral("AppleReduceDesktopTinting");
}

QWidget *WallpaperTintingOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ToggleOptionPicker(
        QCoreApplication::translate("SystemOptions", "Allow wallpaper tinting in windows"), option, parent);
}

QCoro::Task<void> WallpaperTintingOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    const std::optional<bool> allowed = decodedOptionValue(key(), value, boolFromOptionValue(value));
    if (!allowed)
        co_return;
    const QStringList arguments {QStringLiteral("write"), QStringLiteral("-g"), defaultsKey,
                                 QStringLiteral("-bool"), OptionValue::fromBool(!*allowed)};
    co_await SystemOptionDefaults::write(arguments);
    auto &center = Platform::DistributedNotifications::defaultCenter();
    center.post(QStringLiteral("AppleAquaColorVariantChanged"));
    center.post(QStringLiteral("NSReduceDesktopTintingDidChangeNotification"));
    center.post(QStringLiteral("kCUINotificationReduceDesktopTintingChanged"));
}

QCoro::Task<std::optional<QString>> WallpaperTintingOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return OptionValue::fromBool(
        !SystemOptionDefaults::readBool(std::nullopt, defaultsKey).value_or(false));
}
