#include "Tapestrel/system/DesktopItemsOptionModel.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ToggleOptionPicker.h"
#include "Tapestrel/system/EnableStageManagerOptionModel.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

QWidget *DesktopItemsOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ToggleOptionPicker(toggleTitle(), option, parent);
}

QString DesktopItemsOptionModel::hideKey(const Profile *profile) const
{
    return EnableStageManagerOptionModel::isEnabledIn(profile) ? stageManagerHideKey() : standardHideKey();
}

QCoro::Task<void> DesktopItemsOptionModel::apply(QString value, QPointer<Profile> profile,
                                                 std::shared_ptr<bool>)
{
    const std::optional<bool> show = decodedOptionValue(key(), value, boolFromOptionValue(value));
    if (!show)
        co_return;
    const QStringList arguments {QStringLiteral("write"), EnableStageManagerOptionModel::domain(),
                                 hideKey(profile), QStringLiteral("-bool"), OptionValue::fromBool(!*show)};
    co_await SystemOptionDefaults::write(arguments);
}

QCoro::Task<std::optional<QString>> DesktopItemsOptionModel::readCurrentValue(QPointer<Profile> profile)
{
    const std::optional<bool> hidden =
        SystemOptionDefaults::readBool(EnableStageManagerOptionModel::domain(), hideKey(profile));
    if (!hidden)
        co_return std::nullopt;
    co_return OptionValue::fromBool(!*hidden);
}
