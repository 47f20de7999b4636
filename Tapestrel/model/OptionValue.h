#pragma once

#include <QColor>
#include <QString>

#include <optional>

// Shared text encodings of option values.
namespace OptionValue {

// "true"/"yes" in any letter case and "1" are true; "false"/"no" in any letter case and "0" are
// false; anything else (spaces included) has no value.
std::optional<bool> boolFromOptionValue(const QString &text);

// The texts that yes/no options store.
inline QString fromBool(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// A colour as its option text holds it: red, green, blue and alpha in 0...1. The numbers are kept as
// they were read, so a text comes back exactly as it was written; a QColor would round each one to
// 16 bits.
struct RgbaColor
{
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    static RgbaColor fromColor(const QColor &color);
    QColor toColor() const;
    // "r g b a", six decimals each.
    QString text() const;

    // Two colours are equal when their texts are: six decimals are what the system keeps.
    friend bool operator==(const RgbaColor &a, const RgbaColor &b) { return a.text() == b.text(); }
};

// "r g b a" in RGB, six decimals each.
QString rgbaString(const QColor &color);

// Reads the pieces between spaces that are numbers; exactly four of them make red, green, blue and
// alpha. Numbers outside 0...1 are clamped, since a stored text may have been edited by hand.
std::optional<RgbaColor> rgbaFromString(const QString &text);
std::optional<QColor> colorFromRgbaString(const QString &text);

} // namespace OptionValue

using OptionValue::boolFromOptionValue;
