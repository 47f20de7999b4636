#include "PictureReader.h"

#include "KivDesktopBackground/PictureNames.h"
#include "KivDesktopBackground/PictureProtocol.h"

#include <QCoreApplication>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtEndian>
#include <QtNumeric>

#include <zlib.h>

#include <cmath>

namespace Protocol = KivDesktopBackground::PictureProtocol;
using KivDesktopBackground::PictureNames;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PictureReader", text);
}

QString notAPicture()
{
    return PictureNames::notAPictureReason();
}

QString tooLargeReason(qint64 width, qint64 height)
{
    return tr("it is too large to be shown (%1 × %2 pixels)").arg(width).arg(height);
}

// Why a picture of `source` pixels cannot cover `target` with its aspect ratio kept: the size that would
// take has more pixels than any picture may (a picture of 1 × 2,000,000 on a screen).
QString cannotCoverReason(const QSize &source, const QSize &target)
{
    return tr("its shape (%1 × %2 pixels) cannot fill a screen of %3 × %4 pixels without being drawn "
              "larger than any picture may be")
        .arg(source.width())
        .arg(source.height())
        .arg(target.width())
        .arg(target.height());
}

// Why the reader's picture is too large to draw; nothing when it is not. The size comes from the
// header; a reader that cannot tell it decodes within the process's limits.
std::optional<QString> tooLarge(QImageReader &reader)
{
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > Protocol::maxPixels)
        return tooLargeReason(size.width(), size.height());
    return std::nullopt;
}

// An uncompressed BMP decodes as far as its file goes and leaves the rest of the picture as it was
// allocated (black): a header that promises more than the file holds is refused up front. What the
// header says is multiplied with checks: its sizes may promise more than 64 bits can count.
std::optional<QString> incompleteBitmap(QIODevice *file)
{
    const QByteArray header = file->peek(34);
    if (header.size() < 34 || !header.startsWith("BM"))
        return std::nullopt;
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    const quint32 dataOffset = qFromLittleEndian<quint32>(bytes + 10);
    if (qFromLittleEndian<quint32>(bytes + 14) < 40) // an OS/2 header: sizes of 16 bits, left to Qt
        return std::nullopt;
    const qint64 width = qFromLittleEndian<qint32>(bytes + 18);
    const qint64 height = std::abs(qint64(qFromLittleEndian<qint32>(bytes + 22)));
    const quint16 bitsPerPixel = qFromLittleEndian<quint16>(bytes + 28);
    const quint32 compression = qFromLittleEndian<quint32>(bytes + 30);
    // Plain rows, or rows of plain masks (3, 6); run-length data says nothing of its length.
    if ((compression != 0 && compression != 3 && compression != 6) || width <= 0 || bitsPerPixel == 0
        || bitsPerPixel > 32)
        return std::nullopt;
    const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    qint64 rows = 0;
    qint64 promised = 0;
    if (qMulOverflow(rowBytes, height, &rows) || qAddOverflow(rows, qint64(dataOffset), &promised))
        return tooLargeReason(width, height);
    if (promised <= file->size())
        return std::nullopt;
    return tr("it is incomplete: its header promises %1 bytes, the file holds %2")
        .arg(promised)
        .arg(file->size());
}

// Whether a BMP's header describes a picture of a kind the format has but the toolkit's decoder does
// not decode (two bits a pixel, OS/2's run lengths of 24 bits and Huffman code, bit fields with alpha
// or after headers of 52 and 56 bytes, a JPEG or PNG held inside): when the decoding of such a file
// fails, the file is not damaged for it.
bool unreadableBitmapKind(QIODevice *file)
{
    const QByteArray header = file->peek(34);
    if (header.size() < 26 || !header.startsWith("BM"))
        return false;
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    const quint32 headerSize = qFromLittleEndian<quint32>(bytes + 14);
    const auto oneOf = [](quint32 value, std::initializer_list<quint32> values) {
        return std::find(values.begin(), values.end(), value) != values.end();
    };
    if (!oneOf(headerSize, {12, 16, 40, 52, 56, 64, 108, 124}) || (headerSize > 12 && header.size() < 34))
        return false;
    // The first header has sizes of 16 bits; OS/2's short one ends before the compression.
    const int at = headerSize == 12 ? 22 : 26;
    const quint16 planes = qFromLittleEndian<quint16>(bytes + at);
    const quint16 bits = qFromLittleEndian<quint16>(bytes + at + 2);
    const quint32 compression = headerSize <= 16 ? 0 : qFromLittleEndian<quint32>(bytes + 30);
    bool kindOfTheFormat = false;
    switch (compression) {
    case 0:
        kindOfTheFormat = oneOf(bits, {1, 2, 4, 8, 16, 24, 32, 64});
        break;
    case 1:
        kindOfTheFormat = bits == 8;
        break;
    case 2:
        kindOfTheFormat = bits == 4;
        break;
    case 3: // bit fields; OS/2's Huffman code
        kindOfTheFormat = oneOf(bits, {1, 16, 32});
        break;
    case 4: // OS/2's run lengths; a JPEG
        kindOfTheFormat = oneOf(bits, {0, 24});
        break;
    case 5: // a PNG
        kindOfTheFormat = bits == 0;
        break;
    case 6: // bit fields with alpha
        kindOfTheFormat = oneOf(bits, {16, 32});
        break;
    }
    const bool decoded = oneOf(headerSize, {12, 40, 64, 108, 124})
        && ((compression == 0 && oneOf(bits, {1, 4, 8, 16, 24, 32})) || (compression == 1 && bits == 8)
            || (compression == 2 && bits == 4) || (compression == 3 && oneOf(bits, {16, 32})));
    return planes == 1 && kindOfTheFormat && !decoded;
}

// Reads a file forward from its start in pieces, so that a walk through a large one costs few calls;
// the file is put back where it was.
class Walk
{
public:
    explicit Walk(QIODevice *file)
        : m_file(file)
        , m_start(file->pos())
    {
        file->seek(0);
    }
    ~Walk() { m_file->seek(m_start); }
    Walk(const Walk &) = delete;
    Walk &operator=(const Walk &) = delete;

    // The next byte; nothing at the end of the file.
    std::optional<uchar> next()
    {
        if (m_at == m_piece.size()) {
            m_piece = m_file->read(1 << 16);
            m_at = 0;
            if (m_piece.isEmpty())
                return std::nullopt;
        }
        return uchar(m_piece[m_at++]);
    }
    // The next `count` bytes; nothing when the file ends first.
    std::optional<QByteArray> take(qsizetype count)
    {
        QByteArray bytes;
        while (bytes.size() < count) {
            const std::optional<uchar> byte = next();
            if (!byte)
                return std::nullopt;
            bytes += char(*byte);
        }
        return bytes;
    }
    // False when the file ends first.
    bool skip(qint64 count)
    {
        const qint64 here = std::min<qint64>(count, m_piece.size() - m_at);
        m_at += here;
        count -= here;
        if (count == 0)
            return true;
        const qint64 to = m_file->pos() + count;
        return to <= m_file->size() && m_file->seek(to);
    }

private:
    QIODevice *m_file;
    qint64 m_start;
    QByteArray m_piece;
    qsizetype m_at = 0;
};

// A GIF decodes as far as its file goes and shows the rest of its picture black, as if whole: one whose
// first picture (the one shown) ends before its data does is refused up front. Blocks of data (a
// length, then as many bytes) follow one another up to one of no length.
std::optional<QString> incompleteGif(QIODevice *file)
{
    Walk walk(file);
    const auto colours = [](char flags) {
        return flags & 0x80 ? 3 * (2 << (flags & 7)) : 0;
    };
    const auto throughBlocks = [&walk] {
        for (std::optional<uchar> length; (length = walk.next());) {
            if (*length == 0)
                return true;
            if (!walk.skip(*length))
                return false;
        }
        return false;
    };
    // The signature, the screen's size and flags, and the colours the flags announce.
    const std::optional<QByteArray> screen = walk.take(13);
    if (!screen || !screen->startsWith("GIF"))
        return std::nullopt;
    if (!walk.skip(colours(screen->at(10))))
        return PictureNames::damagedReason();
    for (;;) {
        const std::optional<uchar> introducer = walk.next();
        if (introducer == 0x21) {
            // An extension: its label and its blocks.
            if (!walk.next() || !throughBlocks())
                return PictureNames::damagedReason();
        } else if (introducer == 0x2c) {
            // The first picture: its place, size and flags, its colours, its code size and its blocks.
            const std::optional<QByteArray> descriptor = walk.take(9);
            if (!descriptor || !walk.skip(colours(descriptor->at(8))) || !walk.next() || !throughBlocks())
                return PictureNames::damagedReason();
            return std::nullopt;
        } else if (!introducer) {
            return PictureNames::damagedReason();
        } else {
            // Its end before any picture, or what is no GIF: the decoder's to judge.
            return std::nullopt;
        }
    }
}

// An XBM decodes as far as its file goes and leaves the rest of its picture blank: one that holds fewer
// bytes than its size takes (each written "0x…" between braces) is refused up front.
std::optional<QString> incompleteXbm(QIODevice *file, const QSize &size)
{
    if (size.isEmpty())
        return std::nullopt;
    const qint64 needed = qint64((size.width() + 7) / 8) * size.height();
    Walk walk(file);
    std::optional<uchar> character;
    while ((character = walk.next()) && character != '{') { }
    qint64 held = 0;
    for (uchar previous = 0; held < needed && (character = walk.next()) && character != '}';
         previous = *character) {
        if (previous == '0' && character == 'x')
            ++held;
    }
    return held < needed ? std::optional(PictureNames::damagedReason()) : std::nullopt;
}

// What the header of a TGA (a format with no mark at its start) and the footer of the format's second
// version say of a file.
enum class TgaKind {
    none, // no TGA
    readable, // uncompressed true colour of 24 or 32 bits, in the second version: what the decoder reads
    unreadable, // any other TGA: the decoder refuses it, or takes a 16-bit one's five-bit channels for
                // eight-bit ones and its spare bit for opacity
    incomplete, // its pixels end before the file does
};

TgaKind tgaKind(QIODevice *file)
{
    const QByteArray header = file->peek(18);
    if (header.size() < 18)
        return TgaKind::none;
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    const uchar mapType = bytes[1];
    const uchar type = bytes[2];
    const quint16 mapLength = qFromLittleEndian<quint16>(bytes + 5);
    const uchar mapDepth = bytes[7];
    const quint16 width = qFromLittleEndian<quint16>(bytes + 12);
    const quint16 height = qFromLittleEndian<quint16>(bytes + 14);
    const uchar depth = bytes[16];
    const uchar descriptor = bytes[17];
    const bool mapped = type == 1 || type == 9;
    const bool trueColour = type == 2 || type == 10;
    const bool grey = type == 3 || type == 11;
    const bool depthOfItsType = (trueColour && (depth == 15 || depth == 16 || depth == 24 || depth == 32))
        || ((mapped || grey) && (depth == 8 || depth == 16));
    // A colour map, where there is one, of a depth the format has; where there is none, no word of one.
    const bool map = mapType == 1
        ? mapLength > 0 && (mapDepth == 15 || mapDepth == 16 || mapDepth == 24 || mapDepth == 32)
        : mapType == 0 && !mapped && std::all_of(bytes + 3, bytes + 8, [](uchar b) { return b == 0; });
    if (!depthOfItsType || !map || width == 0 || height == 0 || (descriptor & 0xc0) != 0
        || (descriptor & 0x0f) > depth)
        return TgaKind::none;
    // The second version ends with a footer that names it.
    qint64 end = file->size();
    bool secondVersion = false;
    if (end >= 18 + 26) {
        const qint64 start = file->pos();
        file->seek(end - 26);
        secondVersion = file->read(26).mid(8) == QByteArray("TRUEVISION-XFILE.\0", 18);
        file->seek(start);
        end -= secondVersion ? 26 : 0;
    }
    const qint64 before = 18 + bytes[0] + (mapType == 1 ? qint64(mapLength) * ((mapDepth + 7) / 8) : 0);
    const qint64 pixels = qint64(width) * height * ((depth + 7) / 8);
    if (before + (type < 9 ? pixels : 1) > end)
        return TgaKind::incomplete;
    return secondVersion && type == 2 && depth >= 24 && qint64(width) * height <= 8192 * 8192
        ? TgaKind::readable
        : TgaKind::unreadable;
}

// The text of a gzip stream, at most `limit` bytes; nothing when it is not one or says more (then
// `tooLarge`).
std::optional<QByteArray> inflated(const QByteArray &compressed, qint64 limit, bool *tooLarge)
{
    z_stream stream {};
    // 16 + the largest window: gzip framing only.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    QByteArray text;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    const qsizetype piece = 1 << 20;
    int result = Z_OK;
    // Z_OK while there is more; an end of the input before the stream's ends it with Z_BUF_ERROR.
    while (result == Z_OK && text.size() <= limit) {
        const qsizetype done = text.size();
        text.resize(done + piece);
        stream.next_out = reinterpret_cast<Bytef *>(text.data() + done);
        stream.avail_out = uInt(piece);
        result = inflate(&stream, Z_NO_FLUSH);
        text.resize(done + piece - qsizetype(stream.avail_out));
    }
    inflateEnd(&stream);
    *tooLarge = text.size() > limit;
    if (result != Z_STREAM_END || *tooLarge)
        return std::nullopt;
    return text;
}

bool isSvg(const QByteArray &format)
{
    return format == "svg" || format == "svgz";
}

// An SVG held in an SVG held in an SVG… is left out past this depth.
constexpr int maxSvgDepth = 8;
// No drawing nests its elements this deep; the renderer draws each level within the one around it.
constexpr int maxElementDepth = 1000;

QString largerThanAllowedReason()
{
    return tr("its text is larger than %1 MiB").arg(Protocol::maxBytes >> 20);
}

QString nestedTooDeepReason()
{
    return tr("its elements are nested deeper than %1 levels").arg(maxElementDepth);
}

// The file's bytes, at most `limit`; nothing when it holds more. The memory grows with what is read,
// never to the limit at once.
std::optional<QByteArray> readAtMost(QIODevice *file, qint64 limit)
{
    QByteArray bytes;
    while (bytes.size() <= limit) {
        const qint64 left = limit + 1 - bytes.size();
        const QByteArray piece =
            file->read(std::min(std::max(file->size() - bytes.size(), qint64(1) << 16), left));
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    if (bytes.size() > limit)
        return std::nullopt;
    return bytes;
}

// An SVG that passes (see filteredSvg()), or why it does not.
struct FilteredSvg
{
    std::optional<QByteArray> document;
    QString failure;
    bool needsMoreMemory = false; // then no failure: the renderer would take more than the process may
};

// What the renderer takes at the least for each element it makes a part of its document of: about 380
// bytes for the smallest (a group, a line). Elements it makes nothing of (descriptions, styles, those it
// does not know) cost it about nothing. Counted as the document is filtered, a document whose parts need
// more than the process may take is refused before the renderer reads it.
constexpr qint64 leastPartBytes = 320;

// Whether a length ("12", "1.5e2px", "50%") is more than 0; false for what does not start with a number.
bool positiveLength(QStringView value)
{
    value = value.trimmed();
    qsizetype end = 0;
    while (end < value.size() && (value[end].isDigit() || QStringView(u"+-.eE").contains(value[end])))
        ++end;
    bool number = false;
    const double length = value.left(end).toDouble(&number);
    return number && length > 0;
}

// Whether the renderer makes a part of its document of an element (a rectangle only when it has a size).
bool makesPart(QStringView element, const QXmlStreamAttributes &attributes)
{
    static const QStringView parts[] = {u"g",       u"defs", u"switch",   u"use",     u"path", u"circle",
                                        u"ellipse", u"line", u"polyline", u"polygon", u"text", u"textArea"};
    if (element == u"rect")
        return positiveLength(attributes.value(QLatin1String("width")))
            && positiveLength(attributes.value(QLatin1String("height")));
    return std::find(std::begin(parts), std::end(parts), element) != std::end(parts);
}

FilteredSvg filteredSvg(const QByteArray &bytes, int depth, qint64 memoryBytes);

// Whether an attribute names another resource: "href" under any prefix.
bool isReference(QStringView qualifiedName)
{
    return qualifiedName == u"href" || qualifiedName.endsWith(u":href");
}

// Whether a reference names a part of the same document: "#" and an id (a path after "#" is opened as
// a file).
bool namesPartOfDocument(QStringView value)
{
    if (value.size() < 2 || value[0] != u'#' || value[1].isDigit() || value[1] == u'-' || value[1] == u'.')
        return false;
    return std::all_of(value.begin() + 1, value.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.' || c == u':';
    });
}

// The reference of an `<image>` (as the result's document) when it holds its picture as data, as the
// renderer reads it ("data", then whatever follows the last "base64,"): an SVG picture in it passes the
// same filter and comes back as data of its own, any other picture stays as it was. None when it names
// anything else (the renderer opens every other reference as a file, "#" too) or holds an SVG that does
// not pass; a held SVG's need for more memory is the holder's.
FilteredSvg heldPicture(const QString &value, int depth, qint64 memoryBytes)
{
    const QString trimmed = value.trimmed();
    const qsizetype start = trimmed.lastIndexOf(QLatin1String("base64,"));
    if (!trimmed.startsWith(QLatin1String("data")) || start < 0)
        return {};
    QByteArray picture = QByteArray::fromBase64(trimmed.mid(start + 7).toLatin1());
    // The renderer takes the format from the contents, whatever type the address says.
    QBuffer buffer(&picture);
    buffer.open(QIODevice::ReadOnly);
    if (!isSvg(QImageReader::imageFormat(&buffer)))
        return {value.toUtf8(), {}};
    FilteredSvg kept = filteredSvg(picture, depth + 1, memoryBytes);
    if (kept.document)
        kept.document = "data:image/svg+xml;base64," + kept.document->toBase64();
    return kept;
}

// The SVG document as the renderer reads it (its reader decodes the encoding it declares), written anew
// in UTF-8, without every element that names a file or any other resource outside it (Qt's renderer
// reads the picture of an `<image>` from whatever path or URL it names, the style sheet of an
// `xml-stylesheet` instruction from its file), links without their addresses, and without its
// document type: the reading has put its entities in place, so that what they hold is judged here like
// the rest, and the renderer gets none to expand. Nothing when it does not parse (an encoding the reader
// cannot decode among it, elements nested deeper than maxElementDepth, its end cut off) or needs more
// memory than `memoryBytes` (0: no bound). The renderer never gets the original bytes: what a filter of
// those bytes passes is not what the renderer reads.
FilteredSvg withoutOutsideReferences(const QByteArray &svg, int depth, qint64 memoryBytes)
{
    QXmlStreamReader reader(svg);
    int elementDepth = 0;
    // The parts the renderer makes of the elements so far.
    qint64 parts = 0;
    // Names are copied as written: Qt's renderer knows "xlink:href" by that very name.
    reader.setNamespaceProcessing(false);
    QByteArray out;
    QXmlStreamWriter writer(&out);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            writer.writeStartDocument();
            break;
        case QXmlStreamReader::EndDocument:
            writer.writeEndDocument();
            break;
        case QXmlStreamReader::StartElement: {
            const QStringView name = reader.qualifiedName();
            const QStringView element = name.mid(name.lastIndexOf(u':') + 1);
            QXmlStreamAttributes kept;
            bool namesOutside = false;
            for (const QXmlStreamAttribute &attribute : reader.attributes()) {
                if (!isReference(attribute.qualifiedName())) {
                    kept.append(attribute);
                } else if (element == u"image") {
                    const FilteredSvg held = heldPicture(attribute.value().toString(), depth, memoryBytes);
                    if (held.needsMoreMemory)
                        return held;
                    namesOutside = namesOutside || !held.document;
                    if (held.document)
                        kept.append(attribute.qualifiedName().toString(), QString::fromUtf8(*held.document));
                } else if (namesPartOfDocument(attribute.value())) {
                    kept.append(attribute);
                } else {
                    // A link's content is the document's own.
                    namesOutside = namesOutside || element != u"a";
                }
            }
            if (namesOutside) {
                reader.skipCurrentElement();
                break;
            }
            if (++elementDepth > maxElementDepth)
                return {std::nullopt, nestedTooDeepReason()};
            if (memoryBytes > 0 && makesPart(element, kept) && ++parts > memoryBytes / leastPartBytes)
                return {std::nullopt, {}, true};
            writer.writeStartElement(name.toString());
            for (const QXmlStreamAttribute &attribute : std::as_const(kept))
                writer.writeAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            break;
        }
        case QXmlStreamReader::EndElement:
            --elementDepth;
            writer.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (reader.isCDATA())
                writer.writeCDATA(reader.text().toString());
            else
                writer.writeCharacters(reader.text().toString());
            break;
        default: // the document type, comments, processing instructions, unresolved entities
            break;
        }
    }
    if (reader.error() == QXmlStreamReader::PrematureEndOfDocumentError)
        return {std::nullopt, PictureNames::damagedReason()};
    if (reader.hasError())
        return {std::nullopt, notAPicture()};
    return {out, {}};
}

// An SVG document, gzip-compressed or not, as it is decoded; nothing when it does not pass.
FilteredSvg filteredSvg(const QByteArray &bytes, int depth, qint64 memoryBytes)
{
    if (depth > maxSvgDepth)
        return {std::nullopt, notAPicture()};
    std::optional<QByteArray> plain = bytes;
    bool tooLarge = false;
    if (bytes.startsWith("\x1f\x8b"))
        plain = inflated(bytes, Protocol::maxBytes, &tooLarge);
    // A stream that does not inflate to its end is cut short or damaged.
    if (!plain)
        return {std::nullopt, tooLarge ? largerThanAllowedReason() : PictureNames::damagedReason()};
    return withoutOutsideReferences(*plain, depth, memoryBytes);
}

} // namespace

QString PictureReader::damagedReason()
{
    return PictureNames::damagedReason();
}

PictureReader::PictureReader(QIODevice *file, qint64 memoryBytes)
{
    // The reader takes the format from the contents: the file it reads carries no name.
    const QByteArray format = QImageReader::imageFormat(file);
    if (isSvg(format)) {
        const std::optional<QByteArray> text = readAtMost(file, Protocol::maxBytes);
        const FilteredSvg kept =
            text ? filteredSvg(*text, 0, memoryBytes) : FilteredSvg {std::nullopt, largerThanAllowedReason()};
        if (!kept.document) {
            m_failure = kept.needsMoreMemory ? PictureNames::memoryReason(memoryBytes) : kept.failure;
            m_needsMoreMemory = kept.needsMoreMemory;
            return;
        }
        m_svg.setData(*kept.document);
        m_svg.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_svg);
        m_reader.setFormat("svg");
    } else {
        m_reader.setDevice(file);
        // What the toolkit takes a TGA for by its contents (an icon) is not asked.
        switch (tgaKind(file)) {
        case TgaKind::readable:
            m_reader.setFormat("tga");
            break;
        case TgaKind::unreadable:
            m_failure = PictureNames::unreadableKindReason(QStringLiteral("TGA"));
            break;
        case TgaKind::incomplete:
            m_failure = PictureNames::damagedReason();
            break;
        case TgaKind::none:
            break;
        }
    }
    if (!m_failure && !m_reader.canRead())
        m_failure = notAPicture();
    if (!m_failure) {
        const QByteArray decoder = m_reader.format();
        if (decoder == "bmp") {
            m_failure = incompleteBitmap(file);
            m_unreadableKind =
                unreadableBitmapKind(file) ? std::optional(QStringLiteral("BMP")) : std::nullopt;
        } else if (decoder == "gif") {
            m_failure = incompleteGif(file);
        } else if (decoder == "xbm") {
            m_failure = incompleteXbm(file, m_reader.size());
        }
    }
    if (!m_failure)
        m_failure = tooLarge(m_reader);
    if (m_failure)
        m_reader.setDevice(nullptr);
}

QString PictureReader::failedReason() const
{
    return m_unreadableKind ? PictureNames::unreadableKindReason(*m_unreadableKind) : damagedReason();
}

QImage PictureReader::read(const Memory &memory)
{
    if (m_failure)
        return {};
    // A decoder fills the image it is given when it has the size and the format of what it decodes.
    QImage image;
    const QSize size = m_reader.scaledSize().isValid() ? m_reader.scaledSize() : m_reader.size();
    const QImage::Format format = m_reader.imageFormat();
    if (memory && !size.isEmpty() && qint64(size.width()) * size.height() <= Protocol::maxPixels
        && (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied)) {
        const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
        if (uchar *bits = memory(bytesPerLine * size.height()))
            image = QImage(bits, size.width(), size.height(), bytesPerLine, format);
    }
    return m_reader.read(&image) ? image : QImage();
}

PictureReader::Result PictureReader::covering(const QSize &target, const Memory &memory)
{
    if (m_failure)
        return {{}, m_failure, m_needsMoreMemory};
    m_reader.setAutoTransform(true);
    const QSize source = m_reader.size();
    const bool rotated = m_reader.transformation() & QImageIOHandler::TransformationRotate90;
    // Letting the decoder scale (JPEG does it while decoding; SVG draws at any size) saves most of the
    // work and memory of a large photo; rotated images are scaled afterwards, as the reader scales
    // before rotating.
    if (source.isValid() && !source.isEmpty() && !rotated
        && m_reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const std::optional<QSize> wanted = Protocol::coveringSize(source, target);
        if (!wanted)
            return {{}, cannotCoverReason(source, target)};
        if (wanted->width() < source.width() || m_reader.format() == "svg")
            m_reader.setScaledSize(*wanted);
    }
    QImage decoded = read(memory);
    if (decoded.isNull() || decoded.width() <= 0 || decoded.height() <= 0)
        return {{}, failedReason()};
    const std::optional<QSize> wanted = Protocol::coveringSize(decoded.size(), target);
    if (!wanted)
        return {{}, cannotCoverReason(decoded.size(), target)};
    if (wanted->width() < decoded.width())
        decoded = decoded.scaled(*wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {decoded.convertToFormat(decoded.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32),
            std::nullopt};
}

PictureReader::Result PictureReader::fitting(int longerSide, const Memory &memory)
{
    if (m_failure)
        return {{}, m_failure, m_needsMoreMemory};
    m_reader.setAutoTransform(true);
    // Decoding at about the target size lets formats that can skip most of the work; the orientation
    // is applied afterwards, and scaling both sides alike keeps the longer side the longer side.
    const QSize stored = m_reader.size();
    if (stored.isValid() && std::max(stored.width(), stored.height()) > longerSide) {
        const double factor = double(longerSide) / std::max(stored.width(), stored.height());
        const QSize target(std::max(1, int(std::lround(stored.width() * factor))),
                           std::max(1, int(std::lround(stored.height() * factor))));
        if (m_reader.format() == "jpeg") {
            // A JPEG decodes at 1/2, 1/4 or 1/8 of its size almost for free. Ask for exactly such a
            // size (never below the target) and scale smoothly below; the reader's fast mode then only
            // drops what that scaling would smooth away anyway, and it never has to resize on its own.
            int denominator = 1;
            while (denominator < 8 && stored.width() / (denominator * 2) >= target.width()
                   && stored.height() / (denominator * 2) >= target.height())
                denominator *= 2;
            m_reader.setQuality(49);
            m_reader.setScaledSize(QSize(stored.width() / denominator, stored.height() / denominator));
        } else {
            m_reader.setScaledSize(target);
        }
    }
    QImage image = read(memory);
    if (image.isNull())
        return {{}, failedReason()};
    // What is still larger (a JPEG decoded at a power-of-two fraction, a reader that cannot tell its
    // size up front) is scaled smoothly here.
    if (std::max(image.width(), image.height()) > longerSide) {
        image = image.width() >= image.height() ? image.scaledToWidth(longerSide, Qt::SmoothTransformation)
                                                : image.scaledToHeight(longerSide, Qt::SmoothTransformation);
    }
    return {image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32),
            std::nullopt};
}
