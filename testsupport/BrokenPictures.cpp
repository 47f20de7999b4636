#include "testsupport/BrokenPictures.h"

#include "testsupport/Deflated.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QStringEncoder>
#include <QtEndian>

#include <zlib.h>

namespace TestSupport::BrokenPictures {

namespace {

// Gives the chunk that starts at `at` (its length field) the checksum of what it now holds.
void fixChecksum(QByteArray &png, qsizetype at)
{
    const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
    const auto *typeAndData = reinterpret_cast<const Bytef *>(png.constData() + at + 4);
    qToBigEndian<quint32>(quint32(crc32(0, typeAndData, uInt(length + 4))), png.data() + at + 8 + length);
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Gives the chunk of `type` holding `data`, its length and checksum included.
QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray bytes(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), bytes.data());
    bytes += type + data + QByteArray(4, '\0');
    fixChecksum(bytes, 0);
    return bytes;
}

// A JPEG with detail all over, so that half of its bytes hold half of its picture.
QByteArray detailedJpeg()
{
    QImage image(640, 360, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * y) % 256, (x ^ y) % 256));
    }
    return encoded(image, "jpeg");
}

// A BMP of `size` behind a header of `headerBytes` (40 or more) that says `bits` a pixel, `compression`
// and `imageBytes` of rows, and `colours` entries of a palette (left black); then `rows`.
QByteArray bmp(QSize size, int headerBytes, int bits, quint32 compression, int colours,
               const QByteArray &rows, quint32 imageBytes)
{
    const int start = 14 + headerBytes + colours * 4;
    QByteArray bytes(start, '\0');
    char *data = bytes.data();
    data[0] = 'B';
    data[1] = 'M';
    qToLittleEndian<quint32>(quint32(start + rows.size()), data + 2); // the file's size
    qToLittleEndian<quint32>(quint32(start), data + 10); // where the rows start
    qToLittleEndian<quint32>(quint32(headerBytes), data + 14);
    qToLittleEndian<qint32>(size.width(), data + 18);
    qToLittleEndian<qint32>(size.height(), data + 22);
    qToLittleEndian<quint16>(1, data + 26); // planes
    qToLittleEndian<quint16>(quint16(bits), data + 28);
    qToLittleEndian<quint32>(compression, data + 30);
    qToLittleEndian<quint32>(imageBytes, data + 34);
    qToLittleEndian<quint32>(quint32(colours), data + 46);
    return bytes + rows;
}

} // namespace

QByteArray picture(QSize size, QColor colour, const char *format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return encoded(image, format);
}

QByteArray cutPng(int bytes)
{
    return picture(QSize(64, 36), Qt::darkGreen).left(bytes);
}

QByteArray corruptPng()
{
    QByteArray bytes = picture(QSize(64, 36), Qt::darkGreen);
    const qsizetype data = bytes.indexOf("IDAT") - 4;
    // The first bytes after the stream's header: its block header.
    for (qsizetype i = data + 10; i < data + 16; ++i)
        bytes[i] = char(bytes[i] ^ 0x5a);
    fixChecksum(bytes, data);
    return bytes;
}

QByteArray cutJpeg()
{
    const QByteArray whole = detailedJpeg();
    return whole.left(whole.size() / 2);
}

QByteArray corruptJpeg()
{
    QByteArray bytes = detailedJpeg();
    quint32 noise = 12345;
    for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 2048; ++i) {
        noise = noise * 1103515245 + 12345;
        bytes[i] = char(noise >> 16);
    }
    return bytes;
}

QByteArray pngWithTexts(int count)
{
    const QByteArray plain = picture(QSize(8, 8), Qt::red);
    // Keyword, its end, compression method 0, the compressed text.
    const QByteArray text =
        chunk("zTXt", QByteArray("Comment\0\0", 9) + deflated(QByteArray(7900000, 'a'), MAX_WBITS));
    const qsizetype data = plain.indexOf("IDAT") - 4;
    return plain.left(data) + text.repeated(count) + plain.mid(data);
}

QByteArray svgzOf(qint64 count, const QByteArray &element)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"9\">";
    svg += ('<' + element + "/>").repeated(count);
    return deflated(svg + "</svg>", 16 + MAX_WBITS);
}

QByteArray pngClaiming(QSize claimed)
{
    QByteArray bytes = picture(QSize(8, 8), Qt::red);
    qToBigEndian<quint32>(quint32(claimed.width()), bytes.data() + 16);
    qToBigEndian<quint32>(quint32(claimed.height()), bytes.data() + 20);
    fixChecksum(bytes, 8);
    return bytes;
}

QByteArray bmpClaiming(QSize claimed)
{
    // Uncompressed, 24 bits a pixel.
    return bmp(claimed, 40, 24, 0, 0, QByteArray(10, '\0'), 0);
}

namespace {

// A GIF of `size` whose data holds `pixels` pixels of `colour` (its blocks closed, its trailer there), on
// a screen `screenWidth` wide; `global`: its two colours (`colour` and black) are the screen's, else
// the picture's own.
QByteArray gif(QSize size, QColor colour, qint64 pixels, int screenWidth, bool global)
{
    // Codes of three bits: a clear code before every two pixels keeps the decoder's table, and so the
    // width of its codes, from growing.
    QByteArray codes;
    quint32 pending = 0;
    int pendingBits = 0;
    const auto put = [&](quint32 code) {
        pending |= code << pendingBits;
        for (pendingBits += 3; pendingBits >= 8; pendingBits -= 8, pending >>= 8)
            codes += char(pending & 0xff);
    };
    for (qint64 pixel = 0; pixel < pixels; ++pixel) {
        if (pixel % 2 == 0)
            put(4);
        put(0);
    }
    put(5);
    if (pendingBits > 0)
        codes += char(pending & 0xff);
    const QByteArray colours =
        char(colour.red()) + QByteArray(1, char(colour.green())) + char(colour.blue()) + QByteArray(3, '\0');
    QByteArray whole("GIF89a\0\0\0\0\0\0\0", 13);
    qToLittleEndian<quint16>(quint16(screenWidth), whole.data() + 6);
    qToLittleEndian<quint16>(quint16(size.height()), whole.data() + 8);
    if (global)
        whole.replace(10, 1, "\x80").append(colours);
    QByteArray descriptor(",\0\0\0\0\0\0\0\0\0", 10);
    qToLittleEndian<quint16>(quint16(size.width()), descriptor.data() + 5);
    qToLittleEndian<quint16>(quint16(size.height()), descriptor.data() + 7);
    if (!global)
        descriptor.replace(9, 1, "\x80").append(colours);
    whole += descriptor + '\x02';
    for (qsizetype at = 0; at < codes.size(); at += 255)
        whole += char(std::min<qsizetype>(255, codes.size() - at)) + codes.mid(at, 255);
    return whole + QByteArray("\0;", 2);
}

} // namespace

QByteArray gif(QSize size, QColor colour, qsizetype bytes)
{
    const QByteArray whole = gif(size, colour, qint64(size.width()) * size.height(), size.width(), true);
    return bytes >= 0 ? whole.left(bytes) : whole;
}

QByteArray gifShortOf(QSize size, QColor colour, qint64 pixels)
{
    return gif(size, colour, pixels, size.width(), true);
}

QByteArray gifOnWiderScreen(QSize size, QColor colour, int screenWidth)
{
    return gif(size, colour, qint64(size.width()) * size.height(), screenWidth, false);
}

QByteArray bitFieldBmp(QSize size, QColor colour)
{
    const auto pixel =
        quint16(((colour.red() >> 3) << 11) | ((colour.green() >> 2) << 5) | (colour.blue() >> 3));
    QByteArray row((qsizetype(size.width()) * 2 + 3) / 4 * 4, '\0');
    for (int x = 0; x < size.width(); ++x)
        qToLittleEndian<quint16>(pixel, row.data() + x * 2);
    const QByteArray rows = row.repeated(size.height());
    QByteArray bytes = bmp(size, 56, 16, 3, 0, rows, quint32(rows.size()));
    // The masks of red, green and blue (none of alpha).
    for (const auto &[at, mask] : {std::pair {54, 0xf800u}, std::pair {58, 0x07e0u}, std::pair {62, 0x001fu}})
        qToLittleEndian<quint32>(mask, bytes.data() + at);
    return bytes;
}

QByteArray tga(QSize size, QColor colour, int bits)
{
    // No identification, no colour map, uncompressed true colour; its rows from the top.
    QByteArray bytes("\0\0\x02\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 18);
    qToLittleEndian<quint16>(quint16(size.width()), bytes.data() + 12);
    qToLittleEndian<quint16>(quint16(size.height()), bytes.data() + 14);
    bytes[16] = char(bits);
    bytes[17] = char(0x20 | (bits == 32 ? 8 : bits == 16 ? 1 : 0));
    QByteArray pixel;
    if (bits == 16) {
        pixel.resize(2);
        qToLittleEndian<quint16>(quint16(0x8000 | ((colour.red() >> 3) << 10) | ((colour.green() >> 3) << 5)
                                         | (colour.blue() >> 3)),
                                 pixel.data());
    } else {
        pixel = QByteArray(1, char(colour.blue())) + char(colour.green()) + char(colour.red());
        if (bits == 32)
            pixel += '\xff';
    }
    return bytes + pixel.repeated(qsizetype(size.width()) * size.height()) + QByteArray(8, '\0')
        + QByteArray("TRUEVISION-XFILE.\0", 18);
}

bool writeTiff(const QString &path, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QImageWriter writer(path, "tiff");
    writer.setCompression(1);
    return writer.write(image);
}

namespace {

// An SVG of `size` holding `body`, in which %1 and %2 stand for the width and the height, %3 for the
// colour and %4 for the reference.
QByteArray svg(QSize size, QColor colour, const QString &href, const char *body)
{
    return (QStringLiteral(
                "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                "width=\"%1\" height=\"%2\">")
            + QLatin1String(body) + QStringLiteral("</svg>"))
        .arg(size.width())
        .arg(size.height())
        .arg(colour.name(), href.toHtmlEscaped())
        .toUtf8();
}

} // namespace

QByteArray svgWithImage(QSize size, QColor colour, const QString &href)
{
    return svg(size, colour, href,
               "<rect width=\"%1\" height=\"%2\" fill=\"%3\"/><image width=\"%1\" height=\"%2\" "
               "xlink:href=\"%4\"/>");
}

QString svgData(const QByteArray &svg)
{
    return "data:image/svg+xml;base64," + QString::fromLatin1(svg.toBase64());
}

QByteArray svgWithLink(QSize size, QColor colour, const QString &href)
{
    return svg(size, colour, href, "<a xlink:href=\"%4\"><rect width=\"%1\" height=\"%2\" fill=\"%3\"/></a>");
}

QByteArray svgWithUse(QSize size, QColor colour, const QString &id, QColor used)
{
    return svg(size, colour, id,
               "<defs><rect id=\"%4\" width=\"%1\" height=\"%2\" fill=\"" + used.name().toLatin1()
                   + "\"/></defs><rect width=\"%1\" height=\"%2\" fill=\"%3\"/><use xlink:href=\"#%4\"/>");
}

QByteArray svgWithBadPath(QSize size, QColor colour, QColor outlined)
{
    return svg(
        size, colour, {},
        "<rect width=\"%1\" height=\"%2\" fill=\"%3\"/><path d=\"M 0 0 H %1 V %2 H 0 Z L 1 x 2\" fill=\""
            + outlined.name().toLatin1() + "\"/>");
}

QByteArray svgWithEntity(QSize size, QColor colour, const QString &href)
{
    QByteArray image = svgWithImage(size, colour, "entity");
    image.replace("\"entity\"", "\"&where;\"");
    return "<!DOCTYPE svg [<!ENTITY where \"" + href.toHtmlEscaped().toUtf8() + "\">]>" + image;
}

QByteArray inEncoding(const QByteArray &svg, const char *encoding)
{
    const QByteArray declaration = QByteArray("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>";
    const QString text = QString::fromUtf8(svg);
    // An encoding nobody knows: the text as it was.
    QStringEncoder encoder(encoding);
    if (!encoder.isValid())
        return declaration + svg;
    if (qstrcmp(encoding, "UTF-7") != 0)
        return declaration + QByteArray(encoder.encode(text));
    // One shifted run: the text's UTF-16 in base64, without padding.
    QByteArray utf16(text.size() * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToBigEndian<quint16>(text[i].unicode(), utf16.data() + 2 * i);
    return declaration + '+' + utf16.toBase64(QByteArray::OmitTrailingEquals) + '-';
}

QByteArray bmpWithSkips(QColor colour, QColor ground)
{
    QByteArray rows;
    for (int row = 0; row < 256; ++row)
        rows += QByteArray::fromHex("1001"
                                    "00021000"
                                    "1001"
                                    "0000");
    rows += QByteArray::fromHex("0001");
    // Runs of 8-bit colours from a palette of two.
    QByteArray bytes = bmp(QSize(256, 256), 40, 8, 1, 2, rows, quint32(rows.size()));
    // Blue, green, red and nothing each.
    for (const auto &[at, entry] : {std::pair {54, ground}, std::pair {58, colour}}) {
        bytes[at] = char(entry.blue());
        bytes[at + 1] = char(entry.green());
        bytes[at + 2] = char(entry.red());
    }
    return bytes;
}

} // namespace TestSupport::BrokenPictures
