#include "Tapestrel/system/AppearanceOptionModel.h"

#include "Tapestrel/system/Appearance.h"
#include "Tapestrel/system/AppearancePicker.h"
#include "Tapestrel/system/SystemEventsScript.h"

QWidget *AppearanceOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new AppearancePicker(option, parent);
}

QString AppearanceOptionModel::readScript()
{
    return SystemEventsScript::make(QStringLiteral("tell appearance preferences to get dark mode"));
}

QString AppearanceOptionModel::applyScript(bool dark)
{
    // The last line carries four trailing blanks; System Events does not mind them.
    return SystemEventsScript::make(QStringLiteral("tell appearance preferences to set dark mode to ")
                                    + (dark ? QStringLiteral("yes") : QStringLiteral("no")))
        + QStringLiteral("    ");
}

QCoro::Task<void> AppearanceOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    // Only "light" and "dark" are applied; any other text ("auto" among them) is no appearance.
    const std::optional<Appearance> appearance =
        decodedOptionValue(key(), value, fromRawValue<Appearance>(value));
    if (!appearance)
        co_return;
    co_await SystemEventsScript::apply(key(), applyScript(*appearance == Appearance::dark));
}

QCoro::Task<void> AppearanceOptionModel::redraw()
{
    // The real desktop redraws by itself; only the emulated system needs the nudge.
    const std::optional<QString> mode = co_await readCurrentValue(nullptr);
    const bool dark = fromRawValue<Appearance>(mode.value_or(QString())) == Appearance::dark;
    co_await SystemEventsScript::apply(key(), applyScript(dark), Platform::ScriptHost::Reach::emulatedHome);
}

QCoro::Task<std::optional<QString>> AppearanceOptionModel::readCurrentValue(QPointer<Profile>)
{
    const auto result = co_await SystemEventsScript::value(readScript());
    const bool dark = result && result->booleanValue().value_or(false);
    co_return toRawValue(dark ? Appearance::dark : Appearance::light);
}
