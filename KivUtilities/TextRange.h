#pragma once

#include <QString>

namespace KivUtilities {

// Whether a range given as start and length in UTF-16 units lies inside the text. A negative start
// or length is never inside.
inline bool containsRange(const QString &text, qsizetype location, qsizetype length)
{
    return location >= 0 && length >= 0 && location <= text.size() && length <= text.size() - location;
}

} // namespace KivUtilities
