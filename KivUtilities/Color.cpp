#include "KivUtilities/Color.h"

#include <algorithm>
#include <cmath>

namespace KivUtilities {

namespace {

int channelByte(double component)
{
    if (std::isnan(component))
        return 0;
    const double clamped = std::clamp(component, 0.0, 1.0);
    return static_cast<int>(std::round(clamped * 255.0));
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

QString rgbHexString(double red, double green, double blue)
{
    return QStringLiteral("#%1%2%3")
        .arg(channelByte(red), 2, 16, QLatin1Char('0'))
        .arg(channelByte(green), 2, 16, QLatin1Char('0'))
        .arg(channelByte(blue), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString hexString(const QColor &color)
{
    if (!color.isValid())
        return QStringLiteral("#000000");
    // Extended colours keep components outside 0...1; rgbHexString clamps them.
    const QColor rgb = color.spec() == QColor::ExtendedRgb ? color : color.toRgb();
    return rgbHexString(rgb.redF(), rgb.greenF(), rgb.blueF());
}

std::optional<QColor> colorFromHex(const QString &hex)
{
    if (hex.size() != 7 || hex.at(0) != QLatin1Char('#'))
        return std::nullopt;
    int bytes[3];
    for (int i = 0; i < 3; ++i) {
        const int high = hexDigit(hex.at(1 + 2 * i));
        const int low = hexDigit(hex.at(2 + 2 * i));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = high * 16 + low;
    }
    return QColor::fromRgb(bytes[0], bytes[1], bytes[2]);
}

} // namespace KivUtilities
