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
    const bool dark = fromRawValue<Appearance>(value) == Appearance::dark;
    co_await SystemEventsScript::run(applyScript(dark));
}

QCoro::Task<std::optional<QString>> AppearanceOptionModel::readCurrentValue(QPointer<Profile>)
{
    const auto result = co_await SystemEventsScript::value(readScript());
    const bool dark = result && result->booleanValue().value_or(false);
    co_return toRawValue(dark ? Appearance::dark : Appearance::light);
}
