#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

// The three choices of the accent colour option: leave Obsidian's colour alone, Obsidian's default
// colour, or a colour of the profile's own.
enum class ObsidianAccentColor { doNotChange, defaultColor, custom };

namespace ObsidianAccentColors {

const QList<ObsidianAccentColor> &allCases();
QString toRawValue(ObsidianAccentColor choice);
QString title(ObsidianAccentColor choice);

// The choice an option value stands for; never fails: "doNotChange" or the empty text (which sets
// nothing), then "defaultColor", and every other text is a custom colour.
ObsidianAccentColor fromValue(const QString &value);

// A colour text as the file or a profile holds it: white space at both ends is ignored, then "#"
// and six characters of which at least the first is a hexadecimal digit; the leading digits are
// read and anything from the first other character on is ignored. None for anything else.
std::optional<QColor> accentColor(const QString &hex);

// "#RRGGBB" in upper-case digits of the colour in sRGB, opacity dropped, each component rounded
// half away from zero.
QString accentHexString(const QColor &color);

} // namespace ObsidianAccentColors
