#include "Tapestrel/system/ShowMenuBarBackgroundOptionModel.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/model/ToggleOptionPicker.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

namespace {
const QString defaultsKey = QStringLiteral("SLSMenuBarUseBlurredAppearance");
}

QWidget *ShowMenuBarBackgroundOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ToggleOptionPicker(QCoreApplication::translate("SystemOptions", "Show menu bar background"),
                                  option, parent);
}

QCoro::Task<void> ShowMenuBarBackgroundOptionModel::apply(QString value, QPointer<Profile>,
                                                          std::shared_ptr<bool>)
{
    if (const std::optional<bool> show = decodedOptionValue(key(), value, boolFromOptionValue(value)))
        co_await SystemOptionDefaults::writeBool(std::nullopt, defaultsKey, *show);
    co_return;
}

QCoro::Task<std::optional<QString>> ShowMenuBarBackgroundOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return OptionValue::fromBool(
        SystemOptionDefaults::readBool(std::nullopt, defaultsKey).value_or(false));
}
