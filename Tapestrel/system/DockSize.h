#pragma once

#include <QString>

#include <optional>

// The Dock size option's text: a decimal number, 0 to 1 in the editor.
namespace DockSize {

// The whole text must be a finite number: no blanks around it, no "nan" or "inf" (a script
// cannot carry them).
std::optional<double> parse(const QString &text);
// The same for the picker, which reads the text as a single-precision number.
std::optional<float> parseSingle(const QString &text);
// The shortest decimal text that reads back as the same number, whole numbers with ".0".
QString format(double value);

} // namespace DockSize
