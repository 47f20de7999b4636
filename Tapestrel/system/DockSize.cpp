#include "Tapestrel/system/DockSize.h"

#include <QLocale>

#include <cmath>

namespace DockSize {

namespace {

bool looksNumeric(const QString &text)
{
    // Qt's readers skip surrounding blanks and accept "nan"/"inf"; the option's text does not.
    return !text.isEmpty() && text.trimmed() == text;
}

} // namespace

std::optional<double> parse(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!looksNumeric(text) || !ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<float> parseSingle(const QString &text)
{
    bool ok = false;
    const float value = text.toFloat(&ok);
    if (!looksNumeric(text) || !ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString format(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    bool whole = true;
    for (QChar c : text) {
        if (!c.isDigit() && c != u'-')
            whole = false;
    }
    if (whole)
        text += QStringLiteral(".0");
    return text;
}

} // namespace DockSize
