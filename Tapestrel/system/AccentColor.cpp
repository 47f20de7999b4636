#include "Tapestrel/system/AccentColor.h"

#include "Tapestrel/system/SystemColor.h"

#include <QCoreApplication>

QString toRawValue(AccentColor color)
{
    switch (color) {
    case AccentColor::multicolor:
        return QStringLiteral("multicolor");
    case AccentColor::graphite:
        return QStringLiteral("graphite");
    case AccentColor::red:
        return QStringLiteral("red");
    case AccentColor::orange:
        return QStringLiteral("orange");
    case AccentColor::yellow:
        return QStringLiteral("yellow");
    case AccentColor::green:
        return QStringLiteral("green");
    case AccentColor::blue:
        return QStringLiteral("blue");
    case AccentColor::purple:
        return QStringLiteral("purple");
    case AccentColor::pink:
        return QStringLiteral("pink");
    }
    return {};
}

QString title(AccentColor color)
{
    switch (color) {
    case AccentColor::multicolor:
        return QCoreApplication::translate("AccentColor", "Multicolor");
    case AccentColor::graphite:
        return QCoreApplication::translate("AccentColor", "Graphite");
    case AccentColor::red:
        return QCoreApplication::translate("AccentColor", "Red");
    case AccentColor::orange:
        return QCoreApplication::translate("AccentColor", "Orange");
    case AccentColor::yellow:
        return QCoreApplication::translate("AccentColor", "Yellow");
    case AccentColor::green:
        return QCoreApplication::translate("AccentColor", "Green");
    case AccentColor::blue:
        return QCoreApplication::translate("AccentColor", "Blue");
    case AccentColor::purple:
        return QCoreApplication::translate("AccentColor", "Purple");
    case AccentColor::pink:
        return QCoreApplication::translate("AccentColor", "Pink");
    }
    return {};
}

template<> const QList<AccentColor> &allCases<AccentColor>()
{
    static const QList<AccentColor> cases {AccentColor::multicolor, AccentColor::graphite, AccentColor::red,
                                           AccentColor::orange,     AccentColor::yellow,   AccentColor::green,
                                           AccentColor::blue,       AccentColor::purple,   AccentColor::pink};
    return cases;
}

namespace AccentColors {

std::optional<QString> defaultsValue(AccentColor color)
{
    // Declaration order is the system's numbering, starting at -1 after multicolor.
    const int index = int(allCases<AccentColor>().indexOf(color));
    if (color == AccentColor::multicolor)
        return std::nullopt;
    return QString::number(index - 2);
}

AccentColor fromDefaultsValue(const QString &text)
{
    for (AccentColor color : allCases<AccentColor>()) {
        if (defaultsValue(color) == text)
            return color;
    }
    return AccentColor::multicolor;
}

std::optional<QColor> swatchColor(AccentColor color)
{
    switch (color) {
    case AccentColor::multicolor:
        return std::nullopt;
    case AccentColor::graphite:
        return SystemColors::color(SystemColor::gray);
    case AccentColor::red:
        return SystemColors::color(SystemColor::red);
    case AccentColor::orange:
        return SystemColors::color(SystemColor::orange);
    case AccentColor::yellow:
        return SystemColors::color(SystemColor::yellow);
    case AccentColor::green:
        return SystemColors::color(SystemColor::green);
    case AccentColor::blue:
        return SystemColors::color(SystemColor::blue);
    case AccentColor::purple:
        return SystemColors::color(SystemColor::purple);
    case AccentColor::pink:
        return SystemColors::color(SystemColor::pink);
    }
    return std::nullopt;
}

} // namespace AccentColors
