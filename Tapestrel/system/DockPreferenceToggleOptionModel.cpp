#include "Tapestrel/system/DockPreferenceToggleOptionModel.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/model/ToggleOptionPicker.h"
#include "Tapestrel/system/DockPreferenceScripts.h"
#include "Tapestrel/system/SystemEventsScript.h"

QWidget *DockPreferenceToggleOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ToggleOptionPicker(toggleTitle(), option, parent);
}

QCoro::Task<void> DockPreferenceToggleOptionModel::apply(QString value, QPointer<Profile>,
                                                         std::shared_ptr<bool>)
{
    const std::optional<bool> on = decodedOptionValue(key(), value, boolFromOptionValue(value));
    if (!on)
        co_return;
    co_await SystemEventsScript::apply(
        key(),
        DockPreferenceScripts::setScript(property(), *on ? QStringLiteral("yes") : QStringLiteral("no")));
}

QCoro::Task<std::optional<QString>> DockPreferenceToggleOptionModel::readCurrentValue(QPointer<Profile>)
{
    const auto result = co_await SystemEventsScript::value(DockPreferenceScripts::readScript(property()));
    const std::optional<bool> on = result ? result->booleanValue() : std::nullopt;
    if (!on)
        co_return unreadableValue();
    co_return OptionValue::fromBool(*on);
}
