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
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// Whether a GIF picture's compressed data, the blocks that `walk` is at (after the code size `codeBits`),
// holds `needed` pixels. Counted as the toolkit's decoder decodes them: codes of a growing width, each
// a run of pixels (one, or the run of an earlier code and one more), up to the code that ends the data,
// a block of no length or the end of the file. A code no encoder writes (one past the next run, a run
// where a single pixel must come) is damage.
bool holdsPixels(Walk &walk, uchar codeBits, qint64 needed)
{
    constexpr int widest = 12;
    if (codeBits > widest)
        return false;
    const int clear = 1 << codeBits;
    const int end = clear + 1;
    // How many pixels each code stands for; those below `clear` one each.
    std::vector<qint64> runs(size_t(2) << widest, 1);
    int width = codeBits + 1;
    int next = clear + 2;
    int earlier = -1; // none since the last clear
    quint32 bits = 0;
    int held = 0;
    qint64 pixels = 0;
    for (std::optional<uchar> length; pixels < needed && (length = walk.next()) && *length > 0;) {
        for (int i = 0; i < *length && pixels < needed; ++i) {
            const std::optional<uchar> byte = walk.next();
            if (!byte)
                return pixels >= needed;
            bits |= quint32(*byte) << held;
            for (held += 8; held >= width && pixels < needed; held -= width, bits >>= width) {
                const int code = int(bits & ((1u << width) - 1));
                if (code == clear) {
                    width = codeBits + 1;
                    next = clear + 2;
                    earlier = -1;
                    continue;
                }
                if (code == end)
                    return pixels >= needed;
                if (earlier < 0 ? code >= clear : code > next)
                    return false;
                if (earlier < 0) {
                    pixels += 1;
                    earlier = code;
                    continue;
                }
                const qint64 run = code == next ? runs[size_t(earlier)] + 1 : runs[size_t(code)];
                pixels += run;
                if (next < (1 << widest)) {
                    runs[size_t(next)] = runs[size_t(earlier)] + 1;
                    if (++next >= 1 << width && width < widest)
                        ++width;
                }
                earlier = code;
            }
        }
    }
    return pixels >= needed;
}

// A GIF decodes as far as its data goes and shows the rest of its picture as if whole: one whose first
// picture (the one shown) has fewer pixels in its data than its size takes is refused up front, and one
// that has them all is shown however its file ends after them. Blocks of data (a length, then as many
// bytes) follow one another up to one of no length.
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
            // The first picture: its place, size and flags, its colours, its code size and its data.
            const std::optional<QByteArray> descriptor = walk.take(9);
            if (!descriptor || !walk.skip(colours(descriptor->at(8))))
                return PictureNames::damagedReason();
            const auto *bytes = reinterpret_cast<const uchar *>(descriptor->constData());
            const qint64 size =
                qint64(qFromLittleEndian<quint16>(bytes + 4)) * qFromLittleEndian<quint16>(bytes + 6);
            const std::optional<uchar> codeBits = walk.next();
            if (!codeBits || !holdsPixels(walk, *codeBits, size))
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

// The text of a gzip stream, unpacked as it is read: never all of it in memory. Reading ends where the
// stream ends, or past `limit` bytes of text.
class Unpacked final : public QIODevice
{
public:
    Unpacked(const QByteArray &compressed, qint64 limit)
        : m_compressed(compressed)
        , m_limit(limit)
    {
        // 16 + the largest window: gzip framing only.
        m_result = inflateInit2(&m_stream, 16 + MAX_WBITS);
        m_stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(m_compressed.constData()));
        m_stream.avail_in = uInt(m_compressed.size());
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    Unpacked(const Unpacked &) = delete;
    Unpacked &operator=(const Unpacked &) = delete;
    ~Unpacked() override { inflateEnd(&m_stream); }

    bool isSequential() const override { return true; }
    bool tooLarge() const { return m_unpacked > m_limit; }
    // Reads the rest; whether the stream ended, whole, within the limit.
    bool wholeToItsEnd()
    {
        QByteArray piece(1 << 16, Qt::Uninitialized);
        while (read(piece.data(), piece.size()) > 0) { }
        return m_result == Z_STREAM_END && !tooLarge();
    }

protected:
    qint64 readData(char *data, qint64 size) override
    {
        const auto room = uInt(std::min<qint64>(size, 1 << 20));
        qint64 got = 0;
        // Z_OK while there is more; an end of the input before the stream's ends it with Z_BUF_ERROR.
        while (got == 0 && room > 0 && m_result == Z_OK && !tooLarge()) {
            m_stream.next_out = reinterpret_cast<Bytef *>(data);
            m_stream.avail_out = room;
            m_result = inflate(&m_stream, Z_NO_FLUSH);
            got = room - m_stream.avail_out;
            m_unpacked += got;
        }
        return got > 0 && !tooLarge() ? got : -1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray m_compressed;
    const qint64 m_limit;
    z_stream m_stream {};
    int m_result = Z_OK;
    qint64 m_unpacked = 0;
};

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

// A character of a text as its code (a byte of UTF-8 at or past 0x80 stands for no ASCII character).
char16_t code(QChar c)
{
    return c.unicode();
}
char16_t code(char c)
{
    return uchar(c);
}

bool isAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Whether a length ("12", "1.5e2px", "50%") is more than 0; false for what does not start with a number.
template<typename Text> bool positiveLength(Text value)
{
    value = value.trimmed();
    qsizetype end = 0;
    while (end < value.size()
           && (isAsciiDigit(code(value[end])) || QStringView(u"+-.eE").contains(QChar(code(value[end])))))
        ++end;
    const Text number = value.first(end);
    // Digits and at most one point, as most lengths are written: more than 0 where a digit is not 0.
    // (Converting a number takes longer than counting the part it may stand for.)
    const auto digits =
        std::count_if(number.begin(), number.end(), [](auto c) { return isAsciiDigit(code(c)); });
    const auto points = std::count_if(number.begin(), number.end(), [](auto c) { return code(c) == u'.'; });
    if (digits > 0 && points <= 1 && digits + points == number.size())
        return std::any_of(number.begin(), number.end(),
                           [](auto c) { return code(c) > u'0' && code(c) <= u'9'; });
    bool converted = false;
    const double length = number.toDouble(&converted);
    return converted && length > 0;
}

bool sameName(QStringView name, std::string_view ascii)
{
    return name == QLatin1StringView(ascii.data(), qsizetype(ascii.size()));
}
bool sameName(QByteArrayView name, std::string_view ascii)
{
    return std::string_view(name.data(), size_t(name.size())) == ascii;
}

// Whether the renderer makes a part of its document of an element (a rectangle only when it has a size).
template<typename Text> bool makesPart(Text element, Text width, Text height)
{
    static constexpr std::string_view parts[] = {"g",        "defs",    "switch",  "use",
                                                 "path",     "circle",  "ellipse", "line",
                                                 "polyline", "polygon", "text",    "textArea"};
    if (sameName(element, "rect"))
        return positiveLength(width) && positiveLength(height);
    return std::any_of(std::begin(parts), std::end(parts),
                       [element](std::string_view part) { return sameName(element, part); });
}

FilteredSvg filteredSvg(const QByteArray &bytes, int depth, qint64 memoryBytes);

// Whether an attribute names another resource: "href" under any prefix.
bool isReference(QStringView qualifiedName)
{
    return qualifiedName == u"href" || qualifiedName.endsWith(u":href");
}
bool isReference(std::string_view qualifiedName)
{
    return qualifiedName == "href" || qualifiedName.ends_with(":href");
}

bool isDigit(QChar c)
{
    return c.isDigit();
}
bool isDigit(char c)
{
    return isAsciiDigit(code(c));
}
bool isLetterOrNumber(QChar c)
{
    return c.isLetterOrNumber();
}
// A byte of UTF-8 past ASCII is taken for neither.
bool isLetterOrNumber(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether a reference names a part of the same document: "#" and an id (a path after "#" is opened as
// a file).
template<typename Text> bool namesPartOfDocument(Text value)
{
    if (value.size() < 2 || code(value[0]) != u'#' || isDigit(value[1]) || code(value[1]) == u'-'
        || code(value[1]) == u'.')
        return false;
    return std::all_of(value.begin() + 1, value.end(), [](auto c) {
        return isLetterOrNumber(c) || code(c) == u'_' || code(c) == u'-' || code(c) == u'.'
            || code(c) == u':';
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

// Counts the parts that the renderer will make of an SVG document's elements from its bytes as they
// come, ahead of reading it as XML, which takes about ten times as long (a document of millions of
// small elements is refused for its memory before that work). The count is never more than the one
// taken as the document is read (withoutOutsideReferences()): where the bytes do not tell for sure, it
// counts nothing more. So it stops at what it does not follow: a text in another encoding than UTF-8, a
// document type with declarations of its own (which may give elements attributes), an entity in a
// reference or a size, nesting past maxElementDepth, what is not XML. Comments, character data and
// instructions hold no elements; an element that names anything (an `<image>` whatever it names) is
// left out with what it holds, as the reading leaves out an element that names something outside.
class PartsAhead
{
public:
    explicit PartsAhead(qint64 most)
        : m_most(most)
    { }

    // Whether more of the text may change what it tells.
    bool counting() const { return m_state != State::stopped; }
    // Whether the document has more parts than `most`.
    bool pastMost() const { return m_parts > m_most; }

    void read(QByteArrayView piece)
    {
        const char *at = piece.data();
        const char *const end = at + piece.size();
        while (at < end && counting()) {
            // Most of a document lies between its tags and in the values of attributes: each is passed
            // over whole, and only the values looked at are kept.
            if (m_state == State::text) {
                if (*at != '<')
                    at = static_cast<const char *>(std::memchr(at, '<', size_t(end - at)));
                if (!at)
                    return;
            } else if (m_state == State::name || m_state == State::attributeName) {
                std::string &into = m_state == State::name ? m_name : m_attribute;
                const char *stop = at;
                while (stop < end && isNameCharacter(*stop))
                    ++stop;
                append(into, at, stop);
                at = stop;
                if (at == end)
                    return;
            } else if (m_state == State::value) {
                const char *stop = at;
                while (stop < end && *stop != m_quote && *stop != '<')
                    ++stop;
                if (m_looked != Looked::none)
                    append(m_value, at, stop);
                at = stop;
                if (at == end)
                    return;
            }
            take(*at++);
        }
    }

private:
    enum class State {
        start, // before anything but a byte-order mark and white space
        text,
        open, // after "<"
        markup, // after "<!"
        comment,
        characterData,
        instruction,
        documentType,
        endTag,
        name,
        tag, // between attributes
        attributeName,
        equals,
        beforeValue,
        value,
        empty, // after "/" in a tag
        stopped,
    };

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool isNameStart(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || uchar(c) >= 0x80;
    }
    static bool isNameCharacter(char c)
    {
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
    // Names and the values looked at are short: past this they are not what is looked for.
    static constexpr size_t longest = 4096;
    static void append(std::string &to, char c)
    {
        if (to.size() <= longest)
            to += c;
    }
    static void append(std::string &to, const char *from, const char *end)
    {
        if (to.size() <= longest)
            to.append(from, std::min(size_t(end - from), longest + 1 - to.size()));
    }
    static QByteArrayView view(std::string_view text) { return {text.data(), qsizetype(text.size())}; }

    void take(char c)
    {
        switch (m_state) {
        case State::start:
            // A byte-order mark of UTF-8, white space, then the first tag.
            if (m_bom < 3 && !m_spaced && c == "\xef\xbb\xbf"[m_bom])
                ++m_bom;
            else if ((m_bom > 0 && m_bom < 3) || (c != '<' && !isSpace(c)))
                stop();
            else if (c == '<')
                m_state = State::open;
            else
                m_spaced = true;
            m_first = m_state == State::open;
            break;
        case State::text:
            m_state = State::open;
            break;
        case State::open:
            if (c == '!') {
                m_seen.clear();
                m_state = State::markup;
            } else if (c == '?') {
                m_recent = 0;
                m_seen.clear();
                m_state = State::instruction;
            } else if (c == '/') {
                m_name.clear();
                m_spaced = false;
                m_state = State::endTag;
            } else if (isNameStart(c)) {
                m_name.assign(1, c);
                m_width.clear();
                m_height.clear();
                m_names = false;
                m_namesOutside = false;
                m_state = State::name;
            } else {
                stop();
            }
            m_first = m_first && m_state == State::instruction;
            break;
        case State::markup:
            append(m_seen, c);
            m_recent = 0;
            if (m_seen == "--")
                m_state = State::comment;
            else if (m_seen == "[CDATA[")
                m_state = State::characterData;
            else if (m_seen == "DOCTYPE")
                m_state = State::documentType;
            else if (!std::string_view("--").starts_with(m_seen)
                     && !std::string_view("[CDATA[").starts_with(m_seen)
                     && !std::string_view("DOCTYPE").starts_with(m_seen))
                stop();
            break;
        case State::comment:
            endsWith(c, "-->");
            break;
        case State::characterData:
            endsWith(c, "]]>");
            break;
        case State::instruction:
            // The declaration of XML, where the document has one, says its encoding.
            if (m_first)
                append(m_seen, c);
            if (endsWith(c, "?>")) {
                if (m_first && !inUtf8(m_seen))
                    stop();
                m_first = false;
            }
            break;
        case State::documentType:
            if (m_quote)
                m_quote = c == m_quote ? 0 : m_quote;
            else if (c == '"' || c == '\'')
                m_quote = c;
            else if (c == '[')
                stop();
            else if (c == '>')
                m_state = State::text;
            break;
        case State::endTag:
            if (c == '>')
                close();
            else if (isNameCharacter(c) && !m_spaced)
                append(m_name, c);
            else if (isSpace(c) && !m_name.empty())
                m_spaced = true;
            else
                stop();
            break;
        case State::name:
            if (isNameCharacter(c)) {
                append(m_name, c);
            } else if (isSpace(c) || c == '/' || c == '>') {
                m_spaced = false;
                m_state = State::tag;
                take(c);
            } else {
                stop();
            }
            break;
        case State::tag:
            // Attributes are apart.
            if (c == '/') {
                m_state = State::empty;
            } else if (c == '>') {
                open(false);
            } else if (isNameStart(c) && m_spaced) {
                m_attribute.assign(1, c);
                m_state = State::attributeName;
            } else if (isSpace(c)) {
                m_spaced = true;
            } else {
                stop();
            }
            break;
        case State::attributeName:
            if (isNameCharacter(c)) {
                append(m_attribute, c);
            } else if (c == '=' || isSpace(c)) {
                const std::string_view attribute = m_attribute;
                m_looked = isReference(attribute) ? Looked::reference
                    : attribute == "width"        ? Looked::width
                    : attribute == "height"       ? Looked::height
                                                  : Looked::none;
                m_state = State::equals;
                take(c);
            } else {
                stop();
            }
            break;
        case State::equals:
            if (c == '=')
                m_state = State::beforeValue;
            else if (!isSpace(c))
                stop();
            break;
        case State::beforeValue:
            if (c == '"' || c == '\'') {
                m_quote = c;
                m_value.clear();
                m_state = State::value;
            } else if (!isSpace(c)) {
                stop();
            }
            break;
        case State::value:
            if (c == m_quote) {
                m_quote = 0;
                attribute();
                m_spaced = false;
                m_state = State::tag;
            } else if (c == '<') {
                stop();
            }
            break;
        case State::empty:
            if (c == '>')
                open(true);
            else
                stop();
            break;
        case State::stopped:
            break;
        }
    }

    // Whether `c` ends a comment, character data or an instruction as `end` ends it; what follows is
    // text then.
    bool endsWith(char c, std::string_view end)
    {
        m_recent = (m_recent << 8 | uchar(c)) & 0xffffff;
        quint32 wanted = 0;
        for (const char e : end)
            wanted = wanted << 8 | uchar(e);
        if ((m_recent & ((1u << (8 * end.size())) - 1)) != wanted)
            return false;
        m_state = State::text;
        return true;
    }

    // Whether the instruction `instruction` ("xml version=… encoding=…?>"), the first of the document,
    // leaves its text in UTF-8: where it is no declaration of XML, or declares no other encoding.
    static bool inUtf8(const std::string &instruction)
    {
        const QByteArrayView text = view(instruction);
        if (!text.startsWith("xml") || text.size() < 4 || !isSpace(text[3]))
            return true;
        if (instruction.size() > longest)
            return false;
        const qsizetype at = text.indexOf("encoding");
        if (at < 0)
            return true;
        QByteArrayView rest = text.sliced(at + 8).trimmed();
        if (!rest.startsWith('='))
            return false;
        rest = rest.sliced(1).trimmed();
        return rest.size() > 6 && (rest[0] == '"' || rest[0] == '\'') && rest[6] == rest[0]
            && rest.sliced(1, 5).toByteArray().toLower() == "utf-8";
    }

    void attribute()
    {
        // An entity may make a value anything.
        const bool plain = m_value.size() <= longest && m_value.find('&') == std::string::npos;
        switch (m_looked) {
        case Looked::reference:
            m_names = true;
            m_namesOutside = m_namesOutside || !plain || !namesPartOfDocument(view(m_value));
            break;
        case Looked::width:
            m_width.assign(plain ? m_value : std::string_view());
            break;
        case Looked::height:
            m_height.assign(plain ? m_value : std::string_view());
            break;
        case Looked::none:
            break;
        }
    }

    void open(bool empty)
    {
        m_state = State::text;
        if (m_rootClosed)
            return stop();
        const int within = m_depth;
        if (within + 1 > maxElementDepth)
            return stop();
        m_depth += empty ? 0 : 1;
        m_rootClosed = m_depth == 0;
        if (!empty)
            m_opened.push_back(m_name);
        if (m_skippedFrom >= 0)
            return;
        const std::string_view name = m_name;
        const std::string_view element = name.substr(name.rfind(':') + 1);
        // An element that names something outside, and an `<image>` whatever it names (what it holds as
        // data is judged as it is read), are left out with what they hold; a link keeps its content.
        if (m_names && (element == "image" || (m_namesOutside && element != "a"))) {
            m_skippedFrom = empty ? -1 : within;
            return;
        }
        if (makesPart(view(element), view(m_width), view(m_height)) && ++m_parts > m_most)
            stop();
    }

    void close()
    {
        m_state = State::text;
        if (m_depth == 0 || m_opened.back() != m_name)
            return stop();
        m_opened.pop_back();
        --m_depth;
        m_rootClosed = m_depth == 0;
        if (m_depth == m_skippedFrom)
            m_skippedFrom = -1;
    }

    void stop() { m_state = State::stopped; }

    const qint64 m_most;
    qint64 m_parts = 0;
    State m_state = State::start;
    int m_bom = 0; // bytes of a byte-order mark seen
    bool m_spaced = false;
    bool m_first = false; // in the instruction that starts the document
    std::string m_seen; // what is seen of markup, or of the first instruction
    quint32 m_recent = 0; // the last three characters of a comment, character data or an instruction
    char m_quote = 0;
    std::string m_name;
    std::string m_attribute;
    // The attributes whose values are looked at.
    enum class Looked { none, reference, width, height };
    Looked m_looked = Looked::none;
    std::string m_value;
    bool m_names = false; // the element has a reference
    bool m_namesOutside = false; // one that may name something outside the document
    std::string m_width;
    std::string m_height;
    int m_depth = 0;
    std::vector<std::string> m_opened; // the names of the elements open, the innermost last
    int m_skippedFrom = -1; // the depth around an element left out, while within it
    bool m_rootClosed = false;
};

// The SVG document `svg` as the renderer reads it (its reader decodes the encoding it declares), written anew
// in UTF-8, without every element that names a file or any other resource outside it (Qt's renderer
// reads the picture of an `<image>` from whatever path or URL it names, the style sheet of an
// `xml-stylesheet` instruction from its file), links without their addresses, and without its
// document type: the reading has put its entities in place, so that what they hold is judged here like
// the rest, and the renderer gets none to expand. Nothing when it does not parse (an encoding the reader
// cannot decode among it, elements nested deeper than maxElementDepth, its end cut off) or needs more
// memory than `memoryBytes` (0: no bound). The renderer never gets the original bytes: what a filter of
// those bytes passes is not what the renderer reads. The text is read a piece at a time: what is in
// memory is the document written anew.
FilteredSvg withoutOutsideReferences(QIODevice *svg, int depth, qint64 memoryBytes)
{
    QXmlStreamReader reader(svg);
    int elementDepth = 0;
    // The depth within an element left out, with what it holds.
    int skipped = 0;
    // The parts the renderer makes of the elements so far.
    qint64 parts = 0;
    // Names are copied as written: Qt's renderer knows "xlink:href" by that very name.
    reader.setNamespaceProcessing(false);
    QByteArray out;
    QXmlStreamWriter writer(&out);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (skipped > 0) {
            skipped += token == QXmlStreamReader::StartElement ? 1
                : token == QXmlStreamReader::EndElement        ? -1
                                                               : 0;
            continue;
        }
        switch (token) {
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
                skipped = 1;
                break;
            }
            if (++elementDepth > maxElementDepth)
                return {std::nullopt, nestedTooDeepReason()};
            if (memoryBytes > 0
                && makesPart(element, kept.value(QLatin1String("width")), kept.value(QLatin1String("height")))
                && ++parts > memoryBytes / leastPartBytes)
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

// An SVG document, gzip-compressed or not, as it is decoded; nothing when it does not pass. Its parts
// are counted ahead (PartsAhead) before it is read and written anew.
FilteredSvg filteredSvg(const QByteArray &bytes, int depth, qint64 memoryBytes)
{
    if (depth > maxSvgDepth)
        return {std::nullopt, notAPicture()};
    const bool packed = bytes.startsWith("\x1f\x8b");
    // The text from its start, for each reading.
    const auto text = [&bytes, packed]() -> std::unique_ptr<QIODevice> {
        if (packed)
            return std::make_unique<Unpacked>(bytes, Protocol::maxBytes);
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(bytes);
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    };
    if (memoryBytes > 0) {
        PartsAhead parts(memoryBytes / leastPartBytes);
        const std::unique_ptr<QIODevice> ahead = text();
        QByteArray piece(1 << 16, Qt::Uninitialized);
        for (qint64 got = 0; parts.counting() && (got = ahead->read(piece.data(), piece.size())) > 0;)
            parts.read(QByteArrayView(piece).first(got));
        if (parts.pastMost())
            return {std::nullopt, {}, true};
    }
    const std::unique_ptr<QIODevice> read = text();
    FilteredSvg kept = withoutOutsideReferences(read.get(), depth, memoryBytes);
    // A stream cut short or damaged anywhere, also past the document, is damaged; one whose text is
    // longer than the bound is refused for it, whatever the document.
    auto *unpacked = packed ? static_cast<Unpacked *>(read.get()) : nullptr;
    if (unpacked && !kept.needsMoreMemory && !unpacked->wholeToItsEnd())
        return {std::nullopt,
                unpacked->tooLarge() ? largerThanAllowedReason() : PictureNames::damagedReason()};
    return kept;
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
