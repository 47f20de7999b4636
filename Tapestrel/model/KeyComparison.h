#pragma once

#include <QString>

namespace ModelKeys {

// Option identifiers are equal when they are canonically equivalent Unicode texts: "é" written as
// one code point or as "e" and a combining accent is the same key. No case folding.
inline bool equal(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    auto isAscii = [](const QString &text) {
        for (QChar c : text) {
            if (c.unicode() >= 0x80)
                return false;
        }
        return true;
    };
    if (isAscii(a) && isAscii(b))
        return false;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

} // namespace ModelKeys
