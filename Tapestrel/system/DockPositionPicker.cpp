#include "Tapestrel/system/DockPositionPicker.h"

#include "Tapestrel/system/DockPosition.h"

namespace {

QList<ChoiceOptionPicker::Choice> positionChoices()
{
    QList<ChoiceOptionPicker::Choice> choices;
    for (DockPosition position : allCases<DockPosition>())
        choices.append({toRawValue(position), title(position), {}, false});
    return choices;
}

} // namespace

DockPositionPicker::DockPositionPicker(Option *option, QWidget *parent)
    : ChoiceOptionPicker(option, tr("Dock Position"), positionChoices(), Style::popUp, parent)
{
    setObjectName(QStringLiteral("DockPositionPicker"));
}
