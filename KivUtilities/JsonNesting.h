#pragma once

#include <QByteArrayView>

namespace KivUtilities {

// Whether the arrays and objects of a JSON text nest at most `maximumDepth` deep (a flat array is
// one deep). Looks at the bytes only, skipping texts, so it costs far less than parsing: run it on
// outside input before a parser whose documents copy, compare and print recursively. Says nothing
// about whether the text is valid JSON.
bool jsonNestingWithin(QByteArrayView json, int maximumDepth);

// How many elements the outermost array of a JSON text holds, read from the bytes the same way;
// counting stops once it is past `limit`. Run it on outside input before parsing an array whose
// records cost many times their text.
qsizetype jsonArrayElementCount(QByteArrayView json, qsizetype limit);

} // namespace KivUtilities
