#include "Tapestrel/system/AccentColorPicker.h"

#include "Tapestrel/system/AccentColor.h"
#include "Tapestrel/system/SwatchIcon.h"

namespace {

QList<ChoiceOptionPicker::Choice> colorChoices()
{
    // The order of the system's own settings, not declaration order.
    const AccentColor order[] = {AccentColor::multicolor, AccentColor::blue,  AccentColor::purple,
                                 AccentColor::pink,       AccentColor::red,   AccentColor::orange,
                                 AccentColor::yellow,     AccentColor::green, AccentColor::graphite};
    QList<ChoiceOptionPicker::Choice> choices;
    for (AccentColor color : order) {
        const std::optional<QColor> swatch = AccentColors::swatchColor(color);
        choices.append({toRawValue(color), title(color), swatch ? SwatchIcon::make(*swatch) : QIcon(),
                        color == AccentColor::multicolor});
    }
    return choices;
}

} // namespace

AccentColorPicker::AccentColorPicker(Option *option, QWidget *parent)
    : ChoiceOptionPicker(option, tr("Theme Color"), colorChoices(), Style::popUp, parent)
{
    setObjectName(QStringLiteral("AccentColorPicker"));
}
