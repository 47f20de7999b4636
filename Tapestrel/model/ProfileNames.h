#pragma once

#include <QString>

// How long a profile's name may be, in UTF-16 units as a text field counts them: long enough for any
// name a person gives, short enough that every profile's name fits in one reply on the bus.
namespace ProfileNames {

inline constexpr qsizetype maximumLength = 1024;

// `name` without what goes past `length`, never splitting a character that takes two units.
inline QString cut(const QString &name, qsizetype length = maximumLength)
{
    if (name.size() <= length)
        return name;
    if (length > 0 && name.at(length - 1).isHighSurrogate())
        --length;
    return name.left(length);
}

} // namespace ProfileNames
