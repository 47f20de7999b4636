#include "testsupport/BrokenPictures.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
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

} // namespace

QByteArray png(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray cutPng(int bytes)
{
    return png(QSize(64, 36), Qt::darkGreen).left(bytes);
}

QByteArray corruptPng()
{
    QByteArray bytes = png(QSize(64, 36), Qt::darkGreen);
    const qsizetype data = bytes.indexOf("IDAT") - 4;
    // The first bytes after the stream's header: its block header.
    for (qsizetype i = data + 10; i < data + 16; ++i)
        bytes[i] = char(bytes[i] ^ 0x5a);
    fixChecksum(bytes, data);
    return bytes;
}

QByteArray pngClaiming(QSize claimed)
{
    QByteArray bytes = png(QSize(8, 8), Qt::red);
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

QByteArray svgWithImage(QSize size, QColor colour, const QString &href)
{
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
               "width=\"%1\" height=\"%2\"><rect width=\"%1\" height=\"%2\" fill=\"%3\"/>"
               "<image width=\"%1\" height=\"%2\" xlink:href=\"%4\"/></svg>")
        .arg(size.width())
        .arg(size.height())
        .arg(colour.name(), href.toHtmlEscaped())
        .toUtf8();
}

} // namespace TestSupport::BrokenPictures
