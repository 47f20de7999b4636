// Property lists from preference files: binary and XML. Whatever parses must write and read
// again to the same value.

#include "platform/PropertyList.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QVariant value = Platform::PropertyList::parse(bytes);
    (void)Platform::PropertyList::parseDictionary(bytes);
    if (!value.isValid())
        return 0;
    // Compared through the written bytes, which also holds for values that never equal themselves
    // (a real that is not a number).
    const QByteArray binary = Platform::PropertyList::toBinary(value);
    const QByteArray xml = Platform::PropertyList::toXml(value);
    if (binary.isEmpty() || xml.isEmpty()) {
        std::fprintf(stderr, "a parsed value could not be written\n");
        std::abort();
    }
    // The XML form keeps dates to the second, so each form is compared with itself.
    if (Platform::PropertyList::toBinary(Platform::PropertyList::parse(binary)) != binary
        || Platform::PropertyList::toXml(Platform::PropertyList::parse(xml)) != xml) {
        std::fprintf(stderr, "a written value reads back differently\n");
        std::abort();
    }
    return 0;
}
