#include "Tapestrel/apps/obsidian/ObsidianAccentColor.h"

#include "KivUtilities/Color.h"

#include <QCoreApplication>

namespace ObsidianAccentColors {

const QList<ObsidianAccentColor> &allCases()
{
    static const QList<ObsidianAccentColor> cases {
        ObsidianAccentColor::doNotChange, ObsidianAccentColor::defaultColor, ObsidianAccentColor::custom};
    return cases;
}

QString toRawValue(ObsidianAccentColor choice)
{
    switch (choice) {
    case ObsidianAccentColor::doNotChange:
        return QStringLiteral("doNotChange");
    case ObsidianAccentColor::defaultColor:
        return QStringLiteral("defaultColor");
    case ObsidianAccentColor::custom:
        return QStringLiteral("custom");
    }
    return {};
}

QString title(ObsidianAccentColor choice)
{
    switch (choice) {
    case ObsidianAccentColor::doNotChange:
        return QCoreApplication::translate("ObsidianAccentColor", "Don’t change");
    case ObsidianAccentColor::defaultColor:
        return QCoreApplication::translate("ObsidianAccentColor", "Use default color");
    case ObsidianAccentColor::custom:
        return QCoreApplication::translate("ObsidianAccentColor", "Custom");
    }
    return {};
}

ObsidianAccentColor fromValue(const QString &value)
{
    if (value.isEmpty() || value == toRawValue(ObsidianAccentColor::doNotChange))
        return ObsidianAccentColor::doNotChange;
    if (value == toRawValue(ObsidianAccentColor::defaultColor))
        return ObsidianAccentColor::defaultColor;
    return ObsidianAccentColor::custom;
}

std::optional<QColor> accentColor(const QString &hex)
{
    const QString text = hex.trimmed();
    if (text.size() != 7 || text.at(0) != QLatin1Char('#'))
        return std::nullopt;
    uint number = 0;
    int digits = 0;
    for (; digits < 6; ++digits) {
        const char16_t u = text.at(1 + digits).unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        if (digit < 0)
            break;
        number = number * 16 + uint(digit);
    }
    if (digits == 0)
        return std::nullopt;
    return QColor::fromRgb((number >> 16) & 0xFF, (number >> 8) & 0xFF, number & 0xFF);
}

QString accentHexString(const QColor &color)
{
    return KivUtilities::hexString(color);
}

} // namespace ObsidianAccentColors
