#include "Tapestrel/background/NumberLabel.h"

#include <QFontDatabase>

#include <cmath>
#include <limits>

NumberLabel::NumberLabel(Format format, QWidget *parent)
    : QLabel(parent)
    , m_format(format)
{
    setObjectName(QStringLiteral("NumberLabel"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setForegroundRole(QPalette::PlaceholderText);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setText(formatted(0, format));
}

void NumberLabel::setNumber(double number)
{
    m_number = number;
    setText(formatted(number, m_format));
}

QString NumberLabel::formatted(double number, Format format)
{
    double value = format == Format::percent ? number * 100 : number;
    if (!std::isfinite(value))
        value = 0;
    // Clamped before the cut, so that no number lies outside what an integer holds.
    constexpr double low = double(std::numeric_limits<qint64>::min());
    constexpr double high = 9223372036854774784.0; // the largest double below 2^63
    const qint64 whole = qint64(std::trunc(std::clamp(value, low, high)));
    return QString::asprintf(format == Format::percent ? "%3lld%%" : "%3lld\u00B0",
                             static_cast<long long>(whole));
}
