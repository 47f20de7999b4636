#pragma once

#include <QApplication>
#include <QColor>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace TestSupport {

// The colours of a light and a dark desktop colour scheme (Breeze's), for the roles widgets draw with.
inline QPalette schemePalette(bool dark)
{
    const QColor window(dark ? "#2a2e32" : "#eff0f1"), text(dark ? "#fcfcfc" : "#232629");
    const QColor base(dark ? "#1b1e20" : "#ffffff"), button(dark ? "#31363b" : "#fcfcfc");
    QPalette palette(text, button, button.lighter(), button.darker(), button.darker(120), text, text, base,
                     window);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, dark ? "#6e7175" : "#a0a1a3");
    palette.setColor(QPalette::Link, dark ? "#1d99f3" : "#2980b9");
    return palette;
}

// Sets the application's palette for the life of the object and restores the one before.
class ScopedPalette
{
public:
    explicit ScopedPalette(const QPalette &palette)
        : m_old(QApplication::palette())
    {
        QApplication::setPalette(palette);
    }
    ~ScopedPalette() { QApplication::setPalette(m_old); }
    ScopedPalette(const ScopedPalette &) = delete;
    ScopedPalette &operator=(const ScopedPalette &) = delete;

private:
    QPalette m_old;
};

// The contrast ratio of two colours as the accessibility guidelines define it: 1 for the same
// colour, 21 for black on white; symbols and their background need at least 3.
inline double contrastRatio(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &colour) {
        auto channel = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
            + 0.0722 * channel(colour.blueF());
    };
    const double first = luminance(a), second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

} // namespace TestSupport
