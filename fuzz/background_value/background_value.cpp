// Background values as profiles and backups store them (JSON text). What reads must write a text
// that reads again.

#include "KivDesktopBackground/Background.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<KivDesktopBackground::Background> background =
        KivDesktopBackground::Background::fromRawValue(text);
    if (!background)
        return 0;
    // What is written reads back and writes the same text again. (A picture address that is not
    // valid UTF-8 or holds odd escapes is normalised by the first write, so the background read
    // back may differ from the one read first; after that it is stable.)
    const QString written = background->rawValue();
    const std::optional<KivDesktopBackground::Background> again =
        KivDesktopBackground::Background::fromRawValue(written);
    if (!again || again->rawValue() != written) {
        std::fprintf(stderr, "a background reads back differently: %s\n", qPrintable(written));
        std::abort();
    }
    return 0;
}
