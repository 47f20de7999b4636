#include "Tapestrel/apps/iterm/ITermColorEntries.h"

#include <QDateTime>
#include <QVariantList>

#include <cmath>
#include <limits>

namespace ITermColorEntries {

namespace {

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

bool isReal(const QVariant &value)
{
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

bool isUnsigned(const QVariant &value)
{
    return value.typeId() == QMetaType::UInt || value.typeId() == QMetaType::ULong
        || value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::UShort;
}

bool numbersEqual(const QVariant &a, const QVariant &b)
{
    if (isReal(a) || isReal(b)) {
        const double x = a.toDouble();
        const double y = b.toDouble();
        // Not-a-number is equal to itself as a stored value, as the property-list objects are.
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    // Integers: exact, also beyond the range of a double's mantissa.
    if (isUnsigned(a) || isUnsigned(b)) {
        const bool aNegative = !isUnsigned(a) && a.toLongLong() < 0;
        const bool bNegative = !isUnsigned(b) && b.toLongLong() < 0;
        if (aNegative || bNegative)
            return aNegative && bNegative && a.toLongLong() == b.toLongLong();
        return a.toULongLong() == b.toULongLong();
    }
    return a.toLongLong() == b.toLongLong();
}

const QString darkSuffix = QStringLiteral(" (Dark)");
const QString lightSuffix = QStringLiteral(" (Light)");

bool hasAppearanceSuffix(const QString &name)
{
    return name.endsWith(darkSuffix) || name.endsWith(lightSuffix);
}

} // namespace

QString variantName(const QString &entry, bool isDark)
{
    return entry + (isDark ? darkSuffix : lightSuffix);
}

QVariantMap entriesFor(const QVariantMap &preset, bool isDark)
{
    const QString &own = isDark ? darkSuffix : lightSuffix;
    QVariantMap entries;
    for (auto it = preset.cbegin(); it != preset.cend(); ++it) {
        const QString &name = it.key();
        if (!hasAppearanceSuffix(name)) {
            // The plain entry stands for an appearance that the preset has no entry of its own for.
            const QString target = name + own;
            if (!preset.contains(target))
                entries.insert(target, it.value());
        } else if (name.endsWith(own) && !hasAppearanceSuffix(name.chopped(own.size()))) {
            entries.insert(name, it.value());
        }
        // The other appearance's entries, and names with the suffix twice, are not this one's.
    }
    return entries;
}

bool equal(const QVariant &a, const QVariant &b)
{
    if (isNumber(a) || isNumber(b))
        return isNumber(a) && isNumber(b) && numbersEqual(a, b);
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap();
        const QVariantMap y = b.toMap();
        if (x.size() != y.size())
            return false;
        for (auto it = x.cbegin(), other = y.cbegin(); it != x.cend(); ++it, ++other) {
            if (it.key() != other.key() || !equal(it.value(), other.value()))
                return false;
        }
        return true;
    }
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList();
        const QVariantList y = b.toList();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i) {
            if (!equal(x.at(i), y.at(i)))
                return false;
        }
        return true;
    }
    case QMetaType::QDateTime:
        return a.toDateTime() == b.toDateTime();
    default:
        return a == b;
    }
}

bool matches(const QVariantMap &preset, const QVariantMap &profile, bool isDark)
{
    const QVariantMap entries = entriesFor(preset, isDark);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const auto held = profile.constFind(it.key());
        if (held == profile.cend() || !equal(it.value(), held.value()))
            return false;
    }
    return true;
}

bool copy(const QVariantMap &preset, QVariantMap &profile, bool isDark)
{
    const QVariantMap entries = entriesFor(preset, isDark);
    bool changed = false;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const auto held = profile.constFind(it.key());
        if (held != profile.cend() && equal(it.value(), held.value()))
            continue;
        profile.insert(it.key(), it.value());
        changed = true;
    }
    return changed;
}

} // namespace ITermColorEntries
