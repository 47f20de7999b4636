#include "KivUtilities/JsonNesting.h"

namespace KivUtilities {

bool jsonNestingWithin(QByteArrayView json, int maximumDepth)
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
        switch (c) {
        case '"':
            inText = true;
            break;
        case '[':
        case '{':
            if (++depth > maximumDepth)
                return false;
            break;
        case ']':
        case '}':
            --depth;
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace KivUtilities
