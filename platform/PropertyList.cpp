#include "platform/PropertyList.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include <plist/plist.h>

#include <cmath>
#include <limits>
#include <memory>

namespace Platform {

namespace {

// Property-list dates count seconds from the first instant of 2001 (UTC).
const QDateTime &referenceDate()
{
    static const QDateTime date(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return date;
}

struct PlistDeleter
{
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistHandle = std::unique_ptr<void, PlistDeleter>;

QVariant fromNode(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        // Negative integers are stored in two's complement; the platform writes them as 64 bits.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant(static_cast<qint64>(value));
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant(static_cast<qint64>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING: {
        char *text = nullptr;
        plist_get_string_val(node, &text);
        const QString value = QString::fromUtf8(text ? text : "");
        free(text);
        return QVariant(value);
    }
    case PLIST_DATA: {
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        const QByteArray value(bytes ? bytes : "", static_cast<qsizetype>(bytes ? length : 0));
        free(bytes);
        return QVariant(value);
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        const qint64 milliseconds = qint64(seconds) * 1000 + microseconds / 1000;
        return QVariant(referenceDate().addMSecs(milliseconds));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        list.reserve(size);
        for (uint32_t i = 0; i < size; ++i)
            list.append(fromNode(plist_array_get_item(node, i)));
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        for (;;) {
            char *key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &key, &item);
            if (!item) {
                free(key);
                break;
            }
            map.insert(QString::fromUtf8(key ? key : ""), fromNode(item));
            free(key);
        }
        free(iterator);
        return QVariant(map);
    }
    case PLIST_KEY:
    case PLIST_NONE:
        break;
    }
    return {};
}

// Expects a normalised value.
plist_t toNode(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::LongLong:
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 milliseconds = referenceDate().msecsTo(value.toDateTime());
        qint64 seconds = milliseconds / 1000;
        qint64 remainder = milliseconds % 1000;
        if (remainder < 0) {
            seconds -= 1;
            remainder += 1000;
        }
        return plist_new_date(static_cast<int32_t>(seconds), static_cast<int32_t>(remainder * 1000));
    }
    case QMetaType::QVariantList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList())
            plist_array_append_item(array, toNode(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toNode(it.value()));
        return dict;
    }
    default:
        return nullptr;
    }
}

PlistHandle parseRoot(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max())
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    return PlistHandle(root);
}

} // namespace

QVariant PropertyList::normalized(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QVariant(value.toBool());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return QVariant(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong number = value.toULongLong();
        if (number > qulonglong(std::numeric_limits<qint64>::max()))
            return {};
        return QVariant(qint64(number));
    }
    case QMetaType::Float:
    case QMetaType::Double:
        return QVariant(value.toDouble());
    case QMetaType::QString:
        return QVariant(value.toString());
    case QMetaType::QByteArray:
        return QVariant(value.toByteArray());
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return {};
        return QVariant(date.toUTC());
    }
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString &item : value.toStringList())
            list.append(QVariant(item));
        return QVariant(list);
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant &item : value.toList()) {
            QVariant canonical = normalized(item);
            if (!canonical.isValid())
                return {};
            list.append(canonical);
        }
        return QVariant(list);
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.cbegin(); it != source.cend(); ++it) {
            QVariant canonical = normalized(it.value());
            if (!canonical.isValid())
                return {};
            map.insert(it.key(), canonical);
        }
        return QVariant(map);
    }
    default:
        return {};
    }
}

QVariant PropertyList::parse(const QByteArray &bytes)
{
    const PlistHandle root = parseRoot(bytes);
    if (!root)
        return {};
    return fromNode(static_cast<plist_t>(root.get()));
}

std::optional<QVariantMap> PropertyList::parseDictionary(const QByteArray &bytes)
{
    const PlistHandle root = parseRoot(bytes);
    if (!root || plist_get_node_type(static_cast<plist_t>(root.get())) != PLIST_DICT)
        return std::nullopt;
    return fromNode(static_cast<plist_t>(root.get())).toMap();
}

QByteArray PropertyList::toBinary(const QVariant &value)
{
    const PlistHandle root(toNode(normalized(value)));
    if (!root)
        return {};
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(root.get()), &bytes, &length);
    const QByteArray result(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    return result;
}

QByteArray PropertyList::toXml(const QVariant &value)
{
    const PlistHandle root(toNode(normalized(value)));
    if (!root)
        return {};
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_xml(static_cast<plist_t>(root.get()), &bytes, &length);
    const QByteArray result(bytes, static_cast<qsizetype>(length));
    plist_to_xml_free(bytes);
    return result;
}

} // namespace Platform
