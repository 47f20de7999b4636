#include "Tapestrel/system/IconAndWidgetStylePicker.h"

#include "Tapestrel/system/IconAndWidgetStyle.h"

namespace {

QList<ChoiceOptionPicker::Choice> styleChoices()
{
    QList<ChoiceOptionPicker::Choice> choices;
    for (IconAndWidgetStyle style : allCases<IconAndWidgetStyle>()) {
        // A divider closes each group: Default, the dark pair and the clear trio.
        const bool lastOfGroup = style == IconAndWidgetStyle::defaultStyle
            || style == IconAndWidgetStyle::darkAuto || style == IconAndWidgetStyle::clearAuto;
        choices.append({toRawValue(style), title(style), {}, lastOfGroup});
    }
    return choices;
}

} // namespace

IconAndWidgetStylePicker::IconAndWidgetStylePicker(Option *option, QWidget *parent)
    : ChoiceOptionPicker(option, tr("Icon and Widget Style"), styleChoices(), Style::popUp, parent)
{
    setObjectName(QStringLiteral("IconAndWidgetStylePicker"));
}
