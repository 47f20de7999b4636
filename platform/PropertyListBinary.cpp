// The binary form: "bplist00", the objects, a table of their offsets and a 32-byte trailer. Every
// object is a marker byte (kind in the high nibble, a small count or size in the low one) and its
// contents; arrays and dictionaries hold references, that is indices into the offset table, so one
// object may be used from many places.

#include "platform/PropertyListFormats.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace Platform::PropertyListFormats {

namespace {

quint64 readBigEndian(const uchar *bytes, int width)
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

void appendBigEndian(QByteArray &out, quint64 value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// 1, 2, 4 or 8: the fewest bytes that hold the value.
int widthFor(quint64 value)
{
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFFu)
        return 4;
    return 8;
}

int log2Width(int width)
{
    return width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
}

enum Kind : uchar {
    Simple = 0x0, // false, true (and null and fill, which lists do not hold)
    Integer = 0x1,
    Real = 0x2,
    Date = 0x3,
    Data = 0x4,
    AsciiText = 0x5,
    Utf16Text = 0x6,
    Uid = 0x8,
    Array = 0xA,
    Dictionary = 0xD,
};

class BinaryReader
{
public:
    explicit BinaryReader(const QByteArray &bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.constData()))
        , m_size(quint64(bytes.size()))
    { }

    PropertyList::Reading run()
    {
        if (m_size < 8 || std::memcmp(m_data, "bplist", 6) != 0)
            return damaged(QStringLiteral("it is not a binary property list"));
        if (std::memcmp(m_data + 6, "00", 2) != 0)
            return unusable(QStringLiteral("it is a binary property list of a version that is not read"));
        if (m_size < 8 + 1 + 32)
            return damaged(QStringLiteral("it is truncated"));
        m_end = m_size - 32;
        const uchar *trailer = m_data + m_end;
        m_offsetWidth = trailer[6];
        m_referenceWidth = trailer[7];
        m_objectCount = readBigEndian(trailer + 8, 8);
        const quint64 top = readBigEndian(trailer + 16, 8);
        m_tableOffset = readBigEndian(trailer + 24, 8);
        if (m_offsetWidth < 1 || m_offsetWidth > 8 || m_referenceWidth < 1 || m_referenceWidth > 8
            || m_objectCount == 0 || top >= m_objectCount || m_tableOffset < 9 || m_tableOffset > m_end
            || m_objectCount > (m_end - m_tableOffset) / quint64(m_offsetWidth))
            return damaged(QStringLiteral("its trailer is malformed"));
        m_state.assign(m_objectCount, Unvisited);

        QVariant root;
        if (!build(top, root))
            return m_failure;
        return {PropertyList::Status::Read, root, QString()};
    }

private:
    enum State : uchar { Unvisited, Open, Done };

    struct Header
    {
        uchar kind = 0;
        uchar low = 0; // the marker's low nibble
        quint64 count = 0; // elements, bytes or UTF-16 units
        quint64 contents = 0; // file offset of what follows the marker and count
    };

    // What a finished object hands to the containers that use it.
    struct Result
    {
        QVariant value;
        int height = 0; // container levels in it, itself included
        qint64 nodes = 1; // values in it, each use of a shared object counted
    };

    struct Frame
    {
        quint64 object = 0;
        bool dictionary = false;
        quint64 count = 0;
        quint64 references = 0; // file offset of the references
        quint64 next = 0;
        QStringList keys;
        QVariantList list;
        QVariantMap map;
        int height = 1;
        qint64 nodes = 1;
    };

    bool fail(const PropertyList::Reading &reading)
    {
        m_failure = reading;
        return false;
    }

    bool header(quint64 object, Header &out)
    {
        const quint64 at =
            readBigEndian(m_data + m_tableOffset + object * quint64(m_offsetWidth), m_offsetWidth);
        if (at < 8 || at >= m_end)
            return fail(damaged(QStringLiteral("an object lies outside the list")));
        const uchar marker = m_data[at];
        out.kind = marker >> 4;
        out.low = marker & 0x0F;
        out.count = out.low;
        out.contents = at + 1;
        const bool counted = out.kind == Data || out.kind == AsciiText || out.kind == Utf16Text
            || out.kind == Array || out.kind == Dictionary;
        if (counted && out.low == 0x0F) {
            if (out.contents >= m_end || (m_data[out.contents] >> 4) != Integer)
                return fail(damaged(QStringLiteral("an object's length is malformed")));
            const int width = 1 << (m_data[out.contents] & 0x0F);
            if (width > 8 || quint64(width) >= m_end - out.contents)
                return fail(damaged(QStringLiteral("an object's length is malformed")));
            out.count = readBigEndian(m_data + out.contents + 1, width);
            out.contents += 1 + quint64(width);
        }
        return true;
    }

    // Whether `length` bytes from `at` lie inside the objects.
    bool fits(quint64 at, quint64 length) const { return at <= m_end && length <= m_end - at; }

    bool truncatedObject()
    {
        return fail(damaged(QStringLiteral("an object runs past the end of the list")));
    }

    bool leaf(const Header &object, QVariant &value)
    {
        const uchar *contents = m_data + object.contents;
        switch (object.kind) {
        case Simple:
            if (object.low == 0x8 || object.low == 0x9) {
                value = QVariant(object.low == 0x9);
                return true;
            }
            return fail(
                unusable(QStringLiteral("it holds an empty object, which property lists do not keep")));
        case Integer: {
            const quint64 width = quint64(1) << object.low;
            if (width > 16)
                return fail(damaged(QStringLiteral("an integer is malformed")));
            if (!fits(object.contents, width))
                return truncatedObject();
            if (width < 8) {
                value = QVariant(qint64(readBigEndian(contents, int(width))));
            } else if (width == 8) {
                value = QVariant(qint64(readBigEndian(contents, 8))); // two's complement
            } else {
                // Sixteen bytes hold the unsigned integers above the signed range; the upper half
                // is zero then (or all ones for a negative number written this wide).
                const quint64 high = readBigEndian(contents, 8);
                const quint64 low = readBigEndian(contents + 8, 8);
                const bool negative = high == ~quint64(0) && (low >> 63) != 0;
                if (high != 0 && !negative)
                    return fail(unusable(QStringLiteral("it holds an integer wider than 64 bits")));
                if (negative || low <= quint64(std::numeric_limits<qint64>::max()))
                    value = QVariant(qint64(low));
                else
                    value = QVariant(quint64(low));
            }
            return true;
        }
        case Real:
        case Date: {
            const quint64 width = quint64(1) << object.low;
            if ((object.kind == Real && width != 4 && width != 8) || (object.kind == Date && width != 8))
                return fail(damaged(QStringLiteral("a number is malformed")));
            if (!fits(object.contents, width))
                return truncatedObject();
            const quint64 bits = readBigEndian(contents, int(width));
            if (width == 4) {
                const quint32 narrow = quint32(bits);
                float real = 0;
                std::memcpy(&real, &narrow, sizeof real);
                value = QVariant(real);
                return true;
            }
            double real = 0;
            std::memcpy(&real, &bits, sizeof real);
            value = object.kind == Date ? QVariant::fromValue(PropertyListDate {real}) : QVariant(real);
            return true;
        }
        case Data:
        case AsciiText:
            if (!fits(object.contents, object.count))
                return truncatedObject();
            if (object.kind == Data) {
                value =
                    QVariant(QByteArray(reinterpret_cast<const char *>(contents), qsizetype(object.count)));
                return true;
            }
            for (quint64 i = 0; i < object.count; ++i) {
                // Writers use this kind for ASCII only; other bytes have no known meaning.
                if (contents[i] >= 0x80)
                    return fail(unusable(QStringLiteral("it holds a text in no known encoding")));
            }
            value = QVariant(
                QString::fromLatin1(reinterpret_cast<const char *>(contents), qsizetype(object.count)));
            return true;
        case Utf16Text: {
            if (object.count > (m_end - object.contents) / 2)
                return truncatedObject();
            // Unit by unit, so that nothing (U+0000, an unpaired surrogate) is changed on the way.
            QString text(qsizetype(object.count), Qt::Uninitialized);
            for (quint64 i = 0; i < object.count; ++i)
                text[qsizetype(i)] = QChar(char16_t((contents[2 * i] << 8) | contents[2 * i + 1]));
            value = QVariant(text);
            return true;
        }
        case Uid: {
            const quint64 width = quint64(object.low) + 1;
            if (width > 8)
                return fail(unusable(QStringLiteral("it holds a reference wider than 64 bits")));
            if (!fits(object.contents, width))
                return truncatedObject();
            value = QVariant::fromValue(PropertyListUid {readBigEndian(contents, int(width))});
            return true;
        }
        default:
            return fail(unusable(QStringLiteral("it holds an object of a kind that is not read (0x%1)")
                                     .arg(object.kind, 0, 16)));
        }
    }

    quint64 reference(quint64 at) const { return readBigEndian(m_data + at, m_referenceWidth); }

    // A text object, for a dictionary key.
    bool key(quint64 object, QString &text)
    {
        if (object >= m_objectCount)
            return fail(damaged(QStringLiteral("a reference points past the objects")));
        const auto known = m_done.constFind(object);
        if (known != m_done.cend()) {
            if (known->value.typeId() != QMetaType::QString)
                return fail(damaged(QStringLiteral("a dictionary key is not a text")));
            text = known->value.toString();
            return true;
        }
        Header head {};
        if (!header(object, head))
            return false;
        if (head.kind != AsciiText && head.kind != Utf16Text)
            return fail(damaged(QStringLiteral("a dictionary key is not a text")));
        QVariant value;
        if (!leaf(head, value))
            return false;
        m_state[object] = Done;
        m_done.insert(object, {value, 0, 1});
        text = value.toString();
        return true;
    }

    // Starts an object: a leaf is finished at once (`finished`); a container becomes a frame.
    bool start(quint64 object, std::vector<Frame> &stack, std::optional<Result> &finished)
    {
        Header head {};
        if (!header(object, head))
            return false;
        if (head.kind != Array && head.kind != Dictionary) {
            QVariant value;
            if (!leaf(head, value))
                return false;
            finished = Result {value, 0, 1};
            m_state[object] = Done;
            m_done.insert(object, *finished);
            return true;
        }
        if (stack.size() >= size_t(PropertyList::maximumDepth))
            return fail(
                unusable(QStringLiteral("it nests deeper than %1 levels").arg(PropertyList::maximumDepth)));
        if (head.count > quint64(PropertyList::maximumNodes))
            return fail(
                unusable(QStringLiteral("it holds more than %1 values").arg(PropertyList::maximumNodes)));
        const bool dictionary = head.kind == Dictionary;
        const quint64 references = head.count * (dictionary ? 2 : 1);
        if (references > (m_end - head.contents) / quint64(m_referenceWidth))
            return truncatedObject();
        Frame frame;
        frame.object = object;
        frame.dictionary = dictionary;
        frame.count = head.count;
        frame.references = head.contents;
        if (dictionary) {
            frame.keys.reserve(qsizetype(head.count));
            for (quint64 i = 0; i < head.count; ++i) {
                QString text;
                if (!key(reference(head.contents + i * quint64(m_referenceWidth)), text))
                    return false;
                frame.keys.append(text);
            }
            frame.nodes += qint64(head.count);
        } else {
            frame.list.reserve(qsizetype(head.count));
        }
        m_state[object] = Open;
        stack.push_back(std::move(frame));
        return true;
    }

    bool adopt(Frame &frame, const Result &child)
    {
        frame.height = std::max(frame.height, child.height + 1);
        frame.nodes += child.nodes;
        if (frame.nodes > PropertyList::maximumNodes)
            return fail(
                unusable(QStringLiteral("it holds more than %1 values").arg(PropertyList::maximumNodes)));
        if (!frame.dictionary) {
            frame.list.append(child.value);
            return true;
        }
        const QString &name = frame.keys.at(qsizetype(frame.next - 1));
        if (frame.map.contains(name))
            return fail(unusable(QStringLiteral("it holds the key “%1” twice").arg(name)));
        frame.map.insert(name, child.value);
        return true;
    }

    // Depth first without recursion; every object is converted once and shared by the containers
    // that use it, while the nodes and the nesting it stands for are counted at each use.
    bool build(quint64 top, QVariant &root)
    {
        std::vector<Frame> stack;
        std::optional<Result> finished;
        if (!start(top, stack, finished))
            return false;
        while (!stack.empty()) {
            Frame &frame = stack.back();
            if (frame.next == frame.count) {
                Result result {frame.dictionary ? QVariant(frame.map) : QVariant(frame.list), frame.height,
                               frame.nodes};
                m_state[frame.object] = Done;
                m_done.insert(frame.object, result);
                stack.pop_back();
                if (stack.empty()) {
                    finished = result;
                    break;
                }
                if (!adopt(stack.back(), result))
                    return false;
                continue;
            }
            const quint64 at = frame.references
                + (frame.dictionary ? frame.count + frame.next : frame.next) * quint64(m_referenceWidth);
            const quint64 child = reference(at);
            ++frame.next;
            if (child >= m_objectCount)
                return fail(damaged(QStringLiteral("a reference points past the objects")));
            if (m_state[child] == Open)
                return fail(damaged(QStringLiteral("an object contains itself")));
            if (m_state[child] == Done) {
                const Result &known = m_done[child];
                if (stack.size() + size_t(known.height) > size_t(PropertyList::maximumDepth))
                    return fail(unusable(
                        QStringLiteral("it nests deeper than %1 levels").arg(PropertyList::maximumDepth)));
                if (!adopt(frame, known))
                    return false;
                continue;
            }
            std::optional<Result> leafResult;
            if (!start(child, stack, leafResult)) // may move the frames: `frame` is not used after it
                return false;
            if (leafResult && !adopt(stack.back(), *leafResult))
                return false;
        }
        root = finished->value;
        return true;
    }

    const uchar *m_data;
    quint64 m_size;
    quint64 m_end = 0; // where the trailer starts
    int m_offsetWidth = 0;
    int m_referenceWidth = 0;
    quint64 m_objectCount = 0;
    quint64 m_tableOffset = 0;
    std::vector<State> m_state;
    QHash<quint64, Result> m_done;
    PropertyList::Reading m_failure;
};

class BinaryWriter
{
public:
    QByteArray run(const QVariant &root)
    {
        if (!add(root))
            return {};
        const int referenceWidth = widthFor(quint64(m_items.size() - 1));
        QByteArray out("bplist00");
        std::vector<quint64> offsets;
        offsets.reserve(m_items.size());
        for (const Item &item : m_items) {
            offsets.push_back(quint64(out.size()));
            if (!item.container) {
                out += item.leaf;
                continue;
            }
            appendMarker(out, item.dictionary ? Dictionary : Array,
                         quint64(item.references.size()) / (item.dictionary ? 2 : 1));
            for (quint64 reference : item.references)
                appendBigEndian(out, reference, referenceWidth);
        }
        const quint64 tableOffset = quint64(out.size());
        const int offsetWidth = widthFor(offsets.empty() ? 0 : offsets.back());
        for (quint64 offset : offsets)
            appendBigEndian(out, offset, offsetWidth);
        out += QByteArray(6, '\0');
        out += char(offsetWidth);
        out += char(referenceWidth);
        appendBigEndian(out, quint64(m_items.size()), 8);
        appendBigEndian(out, 0, 8); // the root is the first object
        appendBigEndian(out, tableOffset, 8);
        return out;
    }

private:
    struct Item
    {
        bool container = false;
        bool dictionary = false;
        QByteArray leaf; // the encoded object
        std::vector<quint64> references; // keys first, then values
    };

    static void appendMarker(QByteArray &out, uchar kind, quint64 count)
    {
        if (count < 0x0F) {
            out += char((kind << 4) | count);
            return;
        }
        const int width = widthFor(count);
        out += char((kind << 4) | 0x0F);
        out += char((Integer << 4) | log2Width(width));
        appendBigEndian(out, count, width);
    }

    static QByteArray encodeText(const QString &text)
    {
        QByteArray out;
        const bool ascii =
            std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
        appendMarker(out, ascii ? AsciiText : Utf16Text, quint64(text.size()));
        for (QChar c : text) {
            if (!ascii)
                out += char(c.unicode() >> 8);
            out += char(c.unicode() & 0xFF);
        }
        return out;
    }

    static QByteArray encodeLeaf(const QVariant &value)
    {
        QByteArray out;
        if (value.metaType() == QMetaType::fromType<PropertyListDate>()
            || value.typeId() == QMetaType::QDateTime) {
            const double seconds = secondsOf(value);
            quint64 bits = 0;
            std::memcpy(&bits, &seconds, sizeof bits);
            out += char(0x33);
            appendBigEndian(out, bits, 8);
            return out;
        }
        if (value.metaType() == QMetaType::fromType<PropertyListUid>()) {
            const quint64 reference = value.value<PropertyListUid>().value;
            const int width = widthFor(reference);
            out += char((Uid << 4) | (width - 1));
            appendBigEndian(out, reference, width);
            return out;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            out += char(value.toBool() ? 0x09 : 0x08);
            return out;
        case QMetaType::LongLong: {
            const qint64 number = value.toLongLong();
            // Negative numbers take all eight bytes, as readers take the narrower widths as unsigned.
            const int width = number < 0 ? 8 : widthFor(quint64(number));
            out += char((Integer << 4) | log2Width(width));
            appendBigEndian(out, quint64(number), width);
            return out;
        }
        case QMetaType::ULongLong:
            out += char((Integer << 4) | 4);
            appendBigEndian(out, 0, 8);
            appendBigEndian(out, value.toULongLong(), 8);
            return out;
        case QMetaType::Float: {
            const float real = value.toFloat();
            quint32 bits = 0;
            std::memcpy(&bits, &real, sizeof bits);
            out += char((Real << 4) | 2);
            appendBigEndian(out, bits, 4);
            return out;
        }
        case QMetaType::Double: {
            const double real = value.toDouble();
            quint64 bits = 0;
            std::memcpy(&bits, &real, sizeof bits);
            out += char((Real << 4) | 3);
            appendBigEndian(out, bits, 8);
            return out;
        }
        case QMetaType::QString:
            return encodeText(value.toString());
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            appendMarker(out, Data, quint64(bytes.size()));
            return out + bytes;
        }
        default:
            return {};
        }
    }

    // Adds the value's object (a leaf already written is used again) and returns its index.
    std::optional<quint64> addValue(const QVariant &value)
    {
        const int type = value.typeId();
        if (type != QMetaType::QVariantList && type != QMetaType::QVariantMap) {
            const QByteArray bytes = encodeLeaf(value);
            if (bytes.isEmpty())
                return std::nullopt;
            const auto known = m_leaves.constFind(bytes);
            if (known != m_leaves.cend())
                return known.value();
            const quint64 index = quint64(m_items.size());
            m_items.push_back({false, false, bytes, {}});
            m_leaves.insert(bytes, index);
            return index;
        }
        const quint64 index = quint64(m_items.size());
        m_items.push_back({true, type == QMetaType::QVariantMap, QByteArray(), {}});
        std::vector<quint64> references;
        if (type == QMetaType::QVariantList) {
            for (const QVariant &item : value.toList()) {
                const std::optional<quint64> child = addValue(item);
                if (!child)
                    return std::nullopt;
                references.push_back(*child);
            }
        } else {
            const QVariantMap map = value.toMap();
            std::vector<quint64> values;
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                const std::optional<quint64> key = addValue(QVariant(it.key()));
                const std::optional<quint64> child = key ? addValue(it.value()) : std::nullopt;
                if (!child)
                    return std::nullopt;
                references.push_back(*key);
                values.push_back(*child);
            }
            references.insert(references.end(), values.begin(), values.end());
        }
        m_items[index].references = std::move(references);
        return index;
    }

    bool add(const QVariant &root) { return addValue(root).has_value(); }

    std::vector<Item> m_items;
    QHash<QByteArray, quint64> m_leaves;
};

} // namespace

PropertyList::Reading readBinary(const QByteArray &bytes)
{
    return BinaryReader(bytes).run();
}

QByteArray writeBinary(const QVariant &value, QString &error)
{
    QByteArray bytes = BinaryWriter().run(value);
    if (bytes.isEmpty())
        error = QStringLiteral("it holds a value the binary form cannot hold");
    return bytes;
}

} // namespace Platform::PropertyListFormats
