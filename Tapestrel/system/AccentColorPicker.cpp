#include "Tapestrel/system/AccentColorPicker.h"

#include "Tapestrel/system/AccentColor.h"
#include "Tapestrel/system/SwatchIcon.h"

#include <QEvent>

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

void AccentColorPicker::changeEvent(QEvent *event)
{
    ChoiceOptionPicker::changeEvent(event);
    // The system's colours have shades of their own on a dark palette.
    if (event->type() == QEvent::PaletteChange) {
        QList<QIcon> icons;
        for (const Choice &choice : colorChoices())
            icons.append(choice.icon);
        setIcons(icons);
    }
}
