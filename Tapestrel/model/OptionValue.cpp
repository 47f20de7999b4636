#include "Tapestrel/model/OptionValue.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace OptionValue {

std::optional<bool> boolFromOptionValue(const QString &text)
{
    const QString lower = text.toLower();
    if (lower == u"true" || text == u"1" || lower == u"yes")
        return true;
    if (lower == u"false" || text == u"0" || lower == u"no")
        return false;
    return std::nullopt;
}

RgbaColor RgbaColor::fromColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

QColor RgbaColor::toColor() const
{
    return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

QString RgbaColor::text() const
{
    return QString::asprintf("%.6f %.6f %.6f %.6f", red, green, blue, alpha);
}

QString rgbaString(const QColor &color)
{
    return RgbaColor::fromColor(color).text();
}

std::optional<RgbaColor> rgbaFromString(const QString &text)
{
    QList<double> numbers;
    const QStringList pieces = text.split(u' ', Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        bool ok = false;
        const double number = piece.toDouble(&ok);
        if (ok)
            numbers.append(number);
    }
    if (numbers.size() != 4)
        return std::nullopt;
    for (double &number : numbers) {
        if (!std::isfinite(number))
            return std::nullopt;
        // Adding zero turns -0 into 0, which would otherwise print as "-0.000000".
        number = std::clamp(number, 0.0, 1.0) + 0.0;
    }
    return RgbaColor {numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::optional<QColor> colorFromRgbaString(const QString &text)
{
    const std::optional<RgbaColor> color = rgbaFromString(text);
    return color ? std::optional<QColor>(color->toColor()) : std::nullopt;
}

} // namespace OptionValue
