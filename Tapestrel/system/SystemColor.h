#pragma once

#include <QColor>

// The system's named colours, in the shades the desktop shows in its light and dark appearance. The
// swatches of the colour pickers use them so that they look like the colours the system will use.
enum class SystemColor { red, orange, yellow, green, blue, purple, pink, gray };

namespace SystemColors {

QColor color(SystemColor name, bool dark);
// The shade for the current application palette (dark when its window colour is dark).
QColor color(SystemColor name);
bool paletteIsDark();

} // namespace SystemColors
