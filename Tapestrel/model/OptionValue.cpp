#include "Tapestrel/model/OptionValue.h"

#include <QStringList>

#include <algorithm>

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

QString rgbaString(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return QString::asprintf("%.6f %.6f %.6f %.6f", rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

std::optional<QColor> colorFromRgbaString(const QString &text)
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
        number = std::clamp(number, 0.0, 1.0);
    }
    return QColor::fromRgbF(float(numbers[0]), float(numbers[1]), float(numbers[2]), float(numbers[3]));
}

} // namespace OptionValue
