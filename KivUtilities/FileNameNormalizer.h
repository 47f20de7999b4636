#pragma once

#include <QString>

namespace KivUtilities {

// Turns any text (a title, a pasted line) into a safe, single-line file name: line breaks and tabs
// become spaces; path and shell-special characters (/ \ : * ? " < > |) and control and format
// characters are removed; runs of spaces shrink to one; blanks and dots are trimmed from both ends.
// The name is never empty ("Untitled" stands in), holds at most 100 user-perceived characters and
// at most 255 bytes of UTF-8 (the limit of common file systems), always cut between characters.
class FileNameNormalizer
{
public:
    static constexpr int maximumCharacters = 100;
    static constexpr int maximumUtf8Bytes = 255;

    QString normalize(const QString &text) const;
};

} // namespace KivUtilities
