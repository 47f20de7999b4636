// Property lists from preference files: binary and XML. Whatever is read must write and read again
// to the same value in the exact form, which a rewrite of another program's preferences relies on;
// an XML text written from it must read back to the same text.

#include "platform/PropertyList.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

using Platform::PropertyList;

namespace {

// Equality of values, where a real that is not a number equals itself.
bool same(const QVariant &a, const QVariant &b)
{
    if (a.metaType() != b.metaType())
        return false;
    switch (a.typeId()) {
    case QMetaType::Float:
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

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const PropertyList::Reading reading = PropertyList::read(bytes, PropertyList::Form::Exact);
    if (PropertyList::read(bytes).status != reading.status)
        fail("the two forms disagree on whether the list is read");
    if (!reading.isRead()) {
        if (reading.error.isEmpty())
            fail("a list that is not read gives no reason");
        return 0;
    }
    const QByteArray binary = PropertyList::toBinary(reading.value);
    if (binary.isEmpty())
        fail("a list that was read cannot be written");
    if (!same(PropertyList::read(binary, PropertyList::Form::Exact).value, reading.value))
        fail("a written list reads back differently");
    // The XML form cannot hold everything (unpaired surrogates, dates of other millennia).
    const QByteArray xml = PropertyList::toXml(reading.value);
    if (!xml.isEmpty() && PropertyList::toXml(PropertyList::read(xml, PropertyList::Form::Exact).value) != xml)
        fail("a written XML list reads back differently");
    return 0;
}
