#include "Tapestrel/widgets/TextStyle.h"

#include <QPalette>

#include <algorithm>

namespace TextStyle {

void apply(QWidget *widget, Level level)
{
    QPalette palette = widget->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(level == Level::secondary ? 0.6 : 0.35);
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void makeCaption(QWidget *widget)
{
    QFont font = widget->font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    else
        font.setPixelSize(std::max(1, font.pixelSize() * 85 / 100));
    widget->setFont(font);
}

} // namespace TextStyle
