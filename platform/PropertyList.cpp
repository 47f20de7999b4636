#include "platform/PropertyList.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include <plist/plist.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

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

// A binary list can refer to one object from many places, so a small file can stand for a tree
// of any size; the library would expand it in full. Real preference files hold a few thousand nodes.
constexpr qint64 maximumNodes = 50'000;

quint64 readBigEndian(const uchar *bytes, int width)
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

// Checks what the library does not before it builds a tree from a binary list: nesting, the
// number of nodes the shared references expand to, reference cycles, and texts holding U+0000
// (which the library cannot represent and asserts on when it hands out a key). False for anything
// outside those limits or malformed.
class BinaryListCheck
{
public:
    explicit BinaryListCheck(const QByteArray &bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.constData()))
        , m_size(quint64(bytes.size()))
    { }

    bool run()
    {
        if (m_size < 8 + 32)
            return false;
        const uchar *trailer = m_data + m_size - 32;
        m_offsetWidth = trailer[6];
        m_referenceWidth = trailer[7];
        m_objectCount = readBigEndian(trailer + 8, 8);
        const quint64 top = readBigEndian(trailer + 16, 8);
        m_tableOffset = readBigEndian(trailer + 24, 8);
        if (m_offsetWidth < 1 || m_offsetWidth > 8 || m_referenceWidth < 1 || m_referenceWidth > 8
            || m_objectCount == 0 || top >= m_objectCount || m_tableOffset > m_size - 32
            || m_objectCount > (m_size - 32 - m_tableOffset) / m_offsetWidth)
            return false;
        m_state.assign(m_objectCount, Unvisited);
        m_nodes.assign(m_objectCount, 0);
        return visit(top);
    }

private:
    enum State : uchar { Unvisited, Open, Done };
    struct Frame
    {
        quint64 object;
        quint64 firstReference; // file offset of its references
        quint64 referenceCount;
        quint64 next;
        qint64 nodes;
    };

    // The object's marker, its element or character count, and where its contents start.
    bool header(quint64 object, uchar &type, quint64 &count, quint64 &contents) const
    {
        const quint64 at = readBigEndian(m_data + m_tableOffset + object * m_offsetWidth, m_offsetWidth);
        if (at < 8 || at >= m_tableOffset)
            return false;
        type = m_data[at] >> 4;
        count = m_data[at] & 0x0F;
        contents = at + 1;
        if (count == 0x0F && (type == 0x4 || type == 0x5 || type == 0x6 || type >= 0xA)) {
            if (contents >= m_size || (m_data[contents] >> 4) != 0x1)
                return false;
            const int width = 1 << (m_data[contents] & 0x0F);
            if (width > 8 || contents + 1 + quint64(width) > m_tableOffset)
                return false;
            count = readBigEndian(m_data + contents + 1, width);
            contents += 1 + quint64(width);
        }
        return true;
    }

    bool textHasNul(uchar type, quint64 count, quint64 contents) const
    {
        const quint64 unit = type == 0x6 ? 2 : 1;
        if (count > (m_tableOffset - contents) / unit)
            return true; // runs past the objects: malformed
        for (quint64 i = 0; i < count; ++i) {
            const uchar *at = m_data + contents + i * unit;
            if (at[0] == 0 && (unit == 1 || at[1] == 0))
                return true;
        }
        return false;
    }

    bool visit(quint64 top)
    {
        std::vector<Frame> stack;
        if (!open(top, stack))
            return false;
        while (!stack.empty()) {
            Frame &frame = stack.back();
            if (frame.next == frame.referenceCount) {
                m_state[frame.object] = Done;
                m_nodes[frame.object] = frame.nodes;
                const qint64 nodes = frame.nodes;
                stack.pop_back();
                if (!stack.empty() && (stack.back().nodes += nodes) > maximumNodes)
                    return false;
                continue;
            }
            const quint64 child = readBigEndian(m_data + frame.firstReference + frame.next * m_referenceWidth,
                                                m_referenceWidth);
            ++frame.next;
            if (child >= m_objectCount || m_state[child] == Open)
                return false;
            if (m_state[child] == Done) {
                if ((frame.nodes += m_nodes[child]) > maximumNodes)
                    return false;
                continue;
            }
            if (stack.size() >= size_t(PropertyList::maximumDepth) || !open(child, stack))
                return false;
        }
        return true;
    }

    bool open(quint64 object, std::vector<Frame> &stack)
    {
        uchar type = 0;
        quint64 count = 0;
        quint64 contents = 0;
        if (!header(object, type, count, contents))
            return false;
        quint64 references = 0;
        if (type == 0x5 || type == 0x6) {
            if (textHasNul(type, count, contents))
                return false;
        } else if (type == 0xA || type == 0xC) {
            references = count;
        } else if (type == 0xD) {
            if (count > std::numeric_limits<quint64>::max() / 2)
                return false;
            references = count * 2;
        }
        if (references > (m_tableOffset - contents) / m_referenceWidth)
            return false;
        m_state[object] = Open;
        stack.push_back({object, contents, references, 0, 1});
        return true;
    }

    const uchar *m_data;
    quint64 m_size;
    int m_offsetWidth = 0;
    int m_referenceWidth = 0;
    quint64 m_objectCount = 0;
    quint64 m_tableOffset = 0;
    std::vector<State> m_state;
    std::vector<qint64> m_nodes;
};

// The deepest nesting of arrays and dictionaries in an XML list, counted over its tags; stops
// counting past the limit.
bool xmlNestingWithinLimit(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    int depth = 0;
    for (qsizetype at = bytes.indexOf('<'); at >= 0 && at < size; at = bytes.indexOf('<', at + 1)) {
        const QByteArrayView rest(data + at + 1, size - at - 1);
        const auto skipTo = [&](QByteArrayView end) {
            const qsizetype found = bytes.indexOf(end, at + 1);
            return found < 0 ? size : found + end.size() - 1;
        };
        if (rest.startsWith("!--")) {
            at = skipTo("-->");
        } else if (rest.startsWith("![CDATA[")) {
            at = skipTo("]]>");
        } else if (rest.startsWith("/array") || rest.startsWith("/dict")) {
            --depth;
        } else if (rest.startsWith("array") || rest.startsWith("dict")) {
            const qsizetype close = bytes.indexOf('>', at);
            const bool empty = close > 0 && data[close - 1] == '/';
            if (!empty && ++depth > PropertyList::maximumDepth)
                return false;
        }
    }
    return true;
}

bool withinLimits(const QByteArray &bytes)
{
    if (bytes.startsWith("bplist00"))
        return BinaryListCheck(bytes).run();
    return xmlNestingWithinLimit(bytes);
}

// Converts a node and everything below it; `ok` turns false for anything that cannot be
// represented (texts holding U+0000, nesting past the limit).
QVariant fromNode(plist_t node, int depth, bool &ok)
{
    if (depth > PropertyList::maximumDepth) {
        ok = false;
        return {};
    }
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
        // Read by pointer and length: the copying getter asserts when the two disagree.
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        if (!text || length > uint64_t(std::numeric_limits<qsizetype>::max()) || std::strlen(text) != length) {
            ok = false;
            return {};
        }
        return QVariant(QString::fromUtf8(text, qsizetype(length)));
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
        // The library keeps the date as floating-point seconds and truncates the fraction when it
        // splits them, so 0.123 s comes back as 122999 µs: round to the nearest millisecond. The
        // fraction carries no sign; for dates before the reference it counts backwards.
        const qint64 fraction = (qint64(microseconds) + 500) / 1000;
        const qint64 milliseconds = qint64(seconds) * 1000 + (seconds < 0 ? -fraction : fraction);
        return QVariant(referenceDate().addMSecs(milliseconds));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        list.reserve(size);
        // By iterator: the library finds an item of a parsed binary list by index in linear time.
        plist_array_iter iterator = nullptr;
        plist_array_new_iter(node, &iterator);
        while (ok) {
            plist_t item = nullptr;
            plist_array_next_item(node, iterator, &item);
            if (!item)
                break;
            list.append(fromNode(item, depth + 1, ok));
        }
        free(iterator);
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
            map.insert(QString::fromUtf8(key ? key : ""), fromNode(item, depth + 1, ok));
            free(key);
            if (!ok)
                break;
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
    if (!withinLimits(bytes))
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    return PlistHandle(root);
}

QVariant convertRoot(const PlistHandle &root)
{
    bool ok = true;
    QVariant value = fromNode(static_cast<plist_t>(root.get()), 0, ok);
    return ok ? value : QVariant();
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
    case QMetaType::QString: {
        // Texts are stored as C strings: U+0000 would cut them short.
        const QString text = value.toString();
        if (text.contains(QChar(0)))
            return {};
        return QVariant(text);
    }
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
        for (const QString &item : value.toStringList()) {
            if (item.contains(QChar(0)))
                return {};
            list.append(QVariant(item));
        }
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
            if (!canonical.isValid() || it.key().contains(QChar(0)))
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
    return convertRoot(root);
}

std::optional<QVariantMap> PropertyList::parseDictionary(const QByteArray &bytes)
{
    const PlistHandle root = parseRoot(bytes);
    if (!root || plist_get_node_type(static_cast<plist_t>(root.get())) != PLIST_DICT)
        return std::nullopt;
    const QVariant value = convertRoot(root);
    if (!value.isValid())
        return std::nullopt;
    return value.toMap();
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
