#include "Tapestrel/system/EnableStageManagerOptionModel.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ToggleOptionPicker.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

namespace {
const QString defaultsKey = QStringLiteral("GloballyEnabled");
}

QWidget *EnableStageManagerOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ToggleOptionPicker(QCoreApplication::translate("SystemOptions", "Stage Manager"), option,
                                  parent);
}

QCoro::Task<void> EnableStageManagerOptionModel::apply(QString value, QPointer<Profile>,
                                                       std::shared_ptr<bool>)
{
    if (const std::optional<bool> on = decodedOptionValue(key(), value, boolFromOptionValue(value)))
        co_await SystemOptionDefaults::writeBool(domain(), defaultsKey, *on);
    co_return;
}

QCoro::Task<std::optional<QString>> EnableStageManagerOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return OptionValue::fromBool(SystemOptionDefaults::readBool(domain(), defaultsKey).value_or(true));
}

bool EnableStageManagerOptionModel::isEnabledIn(const Profile *profile)
{
    return profile && boolFromOptionValue(profile->value(optionKey())).value_or(false);
}
