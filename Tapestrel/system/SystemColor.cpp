#include "Tapestrel/system/SystemColor.h"

#include <QGuiApplication>
#include <QPalette>

namespace SystemColors {

QColor color(SystemColor name, bool dark)
{
    switch (name) {
    case SystemColor::red:
        return dark ? QColor(255, 69, 58) : QColor(255, 59, 48);
    case SystemColor::orange:
        return dark ? QColor(255, 159, 10) : QColor(255, 149, 0);
    case SystemColor::yellow:
        return dark ? QColor(255, 214, 10) : QColor(255, 204, 0);
    case SystemColor::green:
        return dark ? QColor(48, 209, 88) : QColor(40, 205, 65);
    case SystemColor::blue:
        return dark ? QColor(10, 132, 255) : QColor(0, 122, 255);
    case SystemColor::purple:
        return dark ? QColor(191, 90, 242) : QColor(175, 82, 222);
    case SystemColor::pink:
        return dark ? QColor(255, 55, 95) : QColor(255, 45, 85);
    case SystemColor::gray:
        return dark ? QColor(152, 152, 157) : QColor(142, 142, 147);
    }
    return {};
}

bool paletteIsDark()
{
    return QGuiApplication::palette().color(QPalette::Window).lightnessF() < 0.5;
}

QColor color(SystemColor name)
{
    return color(name, paletteIsDark());
}

} // namespace SystemColors
