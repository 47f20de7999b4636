#include "Tapestrel/system/AppearancePicker.h"

#include "Tapestrel/system/Appearance.h"

namespace {

QList<ChoiceOptionPicker::Choice> appearanceChoices()
{
    QList<ChoiceOptionPicker::Choice> choices;
    for (Appearance appearance : allCases<Appearance>())
        choices.append({toRawValue(appearance), title(appearance), {}, false});
    return choices;
}

} // namespace

AppearancePicker::AppearancePicker(Option *option, QWidget *parent)
    : ChoiceOptionPicker(option, tr("Appearance"), appearanceChoices(), Style::segmented, parent)
{
    setObjectName(QStringLiteral("AppearancePicker"));
}
