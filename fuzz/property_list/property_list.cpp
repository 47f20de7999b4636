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

// Whether what `value` stands for weighs at most `budget`: a value weighs one, and a text or data one
// more for each character or byte (keys included); each use of a shared value counts. Counting stops
// once the budget is spent.
bool within(const QVariant &value, qint64 &budget)
{
    budget -= 1;
    switch (value.typeId()) {
    case QMetaType::QString:
        budget -= value.toString().size();
        break;
    case QMetaType::QByteArray:
        budget -= value.toByteArray().size();
        break;
    case QMetaType::QVariantList:
        for (const QVariant &item : value.toList())
            if (!within(item, budget))
                return false;
        break;
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            budget -= 1 + it.key().size();
            if (!within(it.value(), budget))
                return false;
        }
        break;
    }
    default:
        break;
    }
    return budget >= 0;
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
    // What follows costs in proportion to what the list stands for, which is about its size unless it
    // shares objects: a list of a few hundred bytes may stand for the reader's limit of values, or for
    // megabytes of text, and take seconds under the sanitizers. Of such a list only the reading, which
    // keeps the sharing, is checked.
    if (qint64 budget = qint64(size); reading.isRead() && !within(reading.value, budget))
        return 0;
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
