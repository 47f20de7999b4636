#pragma once

#include "Tapestrel/system/RawValueEnum.h"

#include <QColor>

// The system's accent colour ("Theme Color"), stored by its name.
enum class AccentColor { multicolor, graphite, red, orange, yellow, green, blue, purple, pink };

QString toRawValue(AccentColor color);
QString title(AccentColor color);
template<> const QList<AccentColor> &allCases<AccentColor>();

namespace AccentColors {

// The integer text the global "AppleAccentColor" holds ("-1" to "6"); nothing for multicolor, which
// is the key's absence.
std::optional<QString> defaultsValue(AccentColor color);
// The colour for a stored integer text; multicolor for anything the table does not know.
AccentColor fromDefaultsValue(const QString &text);
// The swatch the pickers draw; nothing for multicolor.
std::optional<QColor> swatchColor(AccentColor color);

} // namespace AccentColors
