#include "KivUtilities/JsonNesting.h"

namespace KivUtilities {

namespace {

// Hands `visit` each byte of the JSON text outside its texts, with the nesting depth before it, and
// the opening quote of each text. Stops when `visit` gives false.
template<typename Visit> void scanStructure(QByteArrayView json, Visit visit)
{
    int depth = 0;
    bool inText = false;
    const char *data = json.data();
    const qsizetype size = json.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (inText) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inText = false;
            continue;
        }
        if (!visit(c, depth))
            return;
        switch (c) {
        case '"':
            inText = true;
            break;
        case '[':
        case '{':
            ++depth;
            break;
        case ']':
        case '}':
            --depth;
            break;
        default:
            break;
        }
    }
}

} // namespace

bool jsonNestingWithin(QByteArrayView json, int maximumDepth)
{
    bool within = true;
    scanStructure(json, [&](char c, int depth) {
        within = !((c == '[' || c == '{') && depth + 1 > maximumDepth);
        return within;
    });
    return within;
}

qsizetype jsonArrayElementCount(QByteArrayView json, qsizetype limit)
{
    bool anyElement = false;
    qsizetype commas = 0;
    scanStructure(json, [&](char c, int depth) {
        if (depth != 1)
            return true;
        if (c == ',')
            return ++commas < limit;
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != ']')
            anyElement = true;
        return true;
    });
    return anyElement ? commas + 1 : 0;
}

} // namespace KivUtilities
