#pragma once

#include <QColor>
#include <QString>

#include <optional>

namespace KivUtilities {

// Colours are stored as hex texts: "#" and two hexadecimal digits each for red, green and blue (sRGB,
// no alpha). Output is always upper case.

// "#%02X%02X%02X" of three components in 0...1; each is clamped to that range, multiplied by 255 and
// rounded half away from zero.
QString rgbHexString(double red, double green, double blue);

// The colour's hex text in sRGB; "#000000" for a colour without usable components (an invalid
// QColor). The opacity is not part of the text.
QString hexString(const QColor &color);

// Reads a hex text: exactly "#" followed by six ASCII hexadecimal digits (either case). Anything else
// (a missing "#", a short form, an alpha pair, a sign, spaces, other characters) gives no colour.
// The result is an opaque sRGB colour.
std::optional<QColor> colorFromHex(const QString &hex);

} // namespace KivUtilities
