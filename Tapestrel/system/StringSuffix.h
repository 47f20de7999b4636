#pragma once

#include <QString>

// The text without `suffix` at its end, removed once (a path ending in "//" keeps one "/"); the
// text unchanged when it does not end with it.
inline QString removingSuffix(const QString &text, const QString &suffix)
{
    if (suffix.isEmpty() || !text.endsWith(suffix))
        return text;
    return text.left(text.size() - suffix.size());
}
