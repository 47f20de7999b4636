// Property lists from preference files: binary and XML. Whatever parses must write and read
// again to the same value.

#include "platform/PropertyList.h"

#include <QDateTime>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Equality of parsed values, where a real that is not a number equals itself. (The library's
// binary writer orders shared objects by their addresses, so the bytes of two writes of one value
// may differ; the values may not.)
bool same(const QVariant &a, const QVariant &b)
{
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::Double: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList();
        const QVariantList y = b.toList();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i)
            if (!same(x[i], y[i]))
                return false;
        return true;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap();
        const QVariantMap y = b.toMap();
        if (x.keys() != y.keys())
            return false;
        for (auto it = x.cbegin(); it != x.cend(); ++it)
            if (!same(it.value(), y.value(it.key())))
                return false;
        return true;
    }
    default:
        return a == b;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QVariant value = Platform::PropertyList::parse(bytes);
    (void)Platform::PropertyList::parseDictionary(bytes);
    if (!value.isValid())
        return 0;
    const QByteArray binary = Platform::PropertyList::toBinary(value);
    const QByteArray xml = Platform::PropertyList::toXml(value);
    if (binary.isEmpty() || xml.isEmpty()) {
        std::fprintf(stderr, "a parsed value could not be written\n");
        std::abort();
    }
    // The XML form keeps dates to the second, so it is compared with itself.
    if (!same(Platform::PropertyList::parse(binary), value)
        || Platform::PropertyList::toXml(Platform::PropertyList::parse(xml)) != xml) {
        std::fprintf(stderr, "a written value reads back differently\n");
        std::abort();
    }
    return 0;
}
