#include "Tapestrel/system/LiquidGlassStylePicker.h"

#include "Tapestrel/system/LiquidGlassStyle.h"

namespace {

QList<ChoiceOptionPicker::Choice> styleChoices()
{
    QList<ChoiceOptionPicker::Choice> choices;
    for (LiquidGlassStyle style : allCases<LiquidGlassStyle>())
        choices.append({toRawValue(style), title(style), {}, false});
    return choices;
}

} // namespace

LiquidGlassStylePicker::LiquidGlassStylePicker(Option *option, QWidget *parent)
    : ChoiceOptionPicker(option, tr("Liquid Glass"), styleChoices(), Style::segmented, parent)
{
    setObjectName(QStringLiteral("LiquidGlassStylePicker"));
}
