#include "Tapestrel/system/AccentColorOptionModel.h"

#include "Tapestrel/system/AccentColor.h"
#include "Tapestrel/system/AccentColorPicker.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/DistributedNotifications.h"

namespace {
const QString defaultsKey = QStringLiteral("AppleAccentColor");
}

QWidget *AccentColorOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new AccentColorPicker(option, parent);
}

QCoro::Task<void> AccentColorOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    const AccentColor color = fromRawValue<AccentColor>(value).value_or(AccentColor::multicolor);
    if (const auto number = AccentColors::defaultsValue(color))
        SystemOptionDefaults::write(
            {QStringLiteral("write"), QStringLiteral("-g"), defaultsKey, QStringLiteral("-int"), *number});
    else
        SystemOptionDefaults::write({QStringLiteral("delete"), QStringLiteral("-g"), defaultsKey});
    Platform::DistributedNotifications::defaultCenter().post(QStringLiteral("AppleAquaColorVariantChanged"));
    co_return;
}

QCoro::Task<std::optional<QString>> AccentColorOptionModel::readCurrentValue(QPointer<Profile>)
{
    const std::optional<QString> stored = SystemOptionDefaults::readString(defaultsKey);
    co_return toRawValue(stored ? AccentColors::fromDefaultsValue(*stored) : AccentColor::multicolor);
}
