#include "Tapestrel/system/LiquidGlassStyleOptionModel.h"

#include "Tapestrel/system/LiquidGlassStyle.h"
#include "Tapestrel/system/LiquidGlassStylePicker.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/DistributedNotifications.h"

namespace {
const QString defaultsKey = QStringLiteral("NSGlassDiffusionSetting");
}

QWidget *LiquidGlassStyleOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new LiquidGlassStylePicker(option, parent);
}

QString LiquidGlassStyleOptionModel::currentValue()
{
    const bool tinted = SystemOptionDefaults::readString(defaultsKey) == QStringLiteral("1");
    return toRawValue(tinted ? LiquidGlassStyle::tinted : LiquidGlassStyle::clear);
}

QCoro::Task<void> LiquidGlassStyleOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    const std::optional<LiquidGlassStyle> style =
        decodedOptionValue(key(), value, fromRawValue<LiquidGlassStyle>(value));
    if (!style || currentValue() == toRawValue(*style))
        co_return;
    const QStringList arguments {QStringLiteral("write"), QStringLiteral("-g"), defaultsKey,
                                 QStringLiteral("-string"), toRawValue(*style)};
    co_await SystemOptionDefaults::write(arguments);
    Platform::DistributedNotifications::defaultCenter().post(QStringLiteral("AppleAquaColorVariantChanged"));
}

QCoro::Task<std::optional<QString>> LiquidGlassStyleOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return currentValue();
}
