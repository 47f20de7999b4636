#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstring>

// Property lists built by hand: binary ones object by object, as another program may write them, so that
// tests can make what the program's own writer never would (U+0000 in a UTF-16 text, deep nesting, cycles).
// References and offsets are four bytes wide.
namespace TestSupport::PropertyListFixtures {

inline QByteArray bigEndian(quint64 value, int width)
{
    QByteArray out;
    for (int i = width - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

inline QByteArray ref(quint32 index)
{
    return bigEndian(index, 4);
}

// A marker with its count, the count in a following integer when it does not fit the marker.
inline QByteArray marker(uchar kind, quint64 count)
{
    if (count < 15)
        return QByteArray(1, char((kind << 4) | count));
    return QByteArray(1, char((kind << 4) | 0x0F)) + char(0x13) + bigEndian(count, 8);
}

inline QByteArray utf16(const QString &text)
{
    QByteArray object = marker(0x6, quint64(text.size()));
    for (QChar c : text)
        object += bigEndian(c.unicode(), 2);
    return object;
}

inline QByteArray ascii(const QByteArray &text)
{
    return marker(0x5, quint64(text.size())) + text;
}

inline QByteArray date(double seconds)
{
    quint64 bits = 0;
    std::memcpy(&bits, &seconds, sizeof bits);
    return QByteArray(1, char(0x33)) + bigEndian(bits, 8);
}

inline QByteArray array(const QList<quint32> &items)
{
    QByteArray object = marker(0xA, quint64(items.size()));
    for (quint32 item : items)
        object += ref(item);
    return object;
}

// Keys and values as pairs of object indices.
inline QByteArray dictionary(const QList<std::pair<quint32, quint32>> &members)
{
    QByteArray object = marker(0xD, quint64(members.size()));
    for (const auto &member : members)
        object += ref(member.first);
    for (const auto &member : members)
        object += ref(member.second);
    return object;
}

// The whole list; `top` is the root object.
inline QByteArray list(const QList<QByteArray> &objects, quint32 top = 0)
{
    QByteArray out("bplist00");
    QList<quint64> offsets;
    for (const QByteArray &object : objects) {
        offsets.append(quint64(out.size()));
        out += object;
    }
    const quint64 table = quint64(out.size());
    for (quint64 offset : offsets)
        out += bigEndian(offset, 4);
    out += QByteArray(6, '\0') + char(4) + char(4);
    out += bigEndian(quint64(objects.size()), 8) + bigEndian(top, 8) + bigEndian(table, 8);
    return out;
}

// Arrays inside arrays, `depth` levels, the innermost empty.
inline QByteArray nestedArrays(int depth)
{
    QList<QByteArray> objects;
    for (int i = 0; i < depth - 1; ++i)
        objects.append(array({quint32(i + 1)}));
    objects.append(array({}));
    return list(objects);
}

inline QByteArray nestedXmlArrays(int depth)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><!-- <array> -->"
        + QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth) + "</plist>";
}

inline QByteArray xmlDictionary(const QByteArray &members)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n"
        + members + "</dict>\n</plist>\n";
}

} // namespace TestSupport::PropertyListFixtures
