// Version texts (of the program and of update feeds). Reading never fails; the order must be a
// strict weak order and a version read from its own text is equal to it.

#include "KivUtilities/Version.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Two versions from one input: the text up to the first line end and the rest.
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = text.indexOf(QLatin1Char('\n'));
    const KivUtilities::Version a(split < 0 ? text : text.left(split));
    const KivUtilities::Version b(split < 0 ? QString() : text.mid(split + 1));
    const bool broken = a < a || b < b || (a < b && b < a) || !(KivUtilities::Version(a.string) == a)
        || (a < b) != (b > a) || (a <= b) != !(b < a);
    if (broken) {
        std::fprintf(stderr, "versions disagree: %s / %s\n", qPrintable(a.string), qPrintable(b.string));
        std::abort();
    }
    (void)KivUtilities::Version::fromJson(a.toJson());
    return 0;
}
