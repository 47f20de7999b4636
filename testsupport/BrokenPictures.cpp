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

QByteArray svgzOfGroups(qint64 count)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"9\">";
    svg += QByteArray("<g/>").repeated(count);
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
    QByteArray bytes(64, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    char *data = bytes.data();
    qToLittleEndian<quint32>(64, data + 2); // the file's size
    qToLittleEndian<quint32>(54, data + 10); // where the rows start
    qToLittleEndian<quint32>(40, data + 14); // the header's size
    qToLittleEndian<qint32>(claimed.width(), data + 18);
    qToLittleEndian<qint32>(claimed.height(), data + 22);
    qToLittleEndian<quint16>(1, data + 26); // planes
    qToLittleEndian<quint16>(24, data + 28); // bits a pixel, no compression
    return bytes;
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
    const int start = 14 + 40 + 2 * 4;
    QByteArray bytes(start, '\0');
    char *data = bytes.data();
    bytes[0] = 'B';
    bytes[1] = 'M';
    qToLittleEndian<quint32>(quint32(start + rows.size()), data + 2); // the file's size
    qToLittleEndian<quint32>(start, data + 10); // where the rows start
    qToLittleEndian<quint32>(40, data + 14); // the header's size
    qToLittleEndian<qint32>(256, data + 18);
    qToLittleEndian<qint32>(256, data + 22);
    qToLittleEndian<quint16>(1, data + 26); // planes
    qToLittleEndian<quint16>(8, data + 28); // bits a pixel
    qToLittleEndian<quint32>(1, data + 30); // runs of 8-bit colours
    qToLittleEndian<quint32>(quint32(rows.size()), data + 34);
    qToLittleEndian<quint32>(2, data + 46); // colours
    // Blue, green, red and nothing each.
    for (const auto &[at, entry] : {std::pair {54, ground}, std::pair {58, colour}}) {
        bytes[at] = char(entry.blue());
        bytes[at + 1] = char(entry.green());
        bytes[at + 2] = char(entry.red());
    }
    return bytes + rows;
}

} // namespace TestSupport::BrokenPictures
