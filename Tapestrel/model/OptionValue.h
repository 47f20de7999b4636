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

// "r g b a" in RGB, six decimals each.
QString rgbaString(const QColor &color);

// Reads the pieces between spaces that are numbers; exactly four of them make red, green, blue and
// alpha. Numbers outside 0...1 are clamped, since a stored text may have been edited by hand.
std::optional<QColor> colorFromRgbaString(const QString &text);

} // namespace OptionValue

using OptionValue::boolFromOptionValue;
