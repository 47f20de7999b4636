#include "KivDesktopBackground/PicturePng.h"

#include <QSaveFile>
#include <QThread>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace KivDesktopBackground::PicturePng {

namespace {

// Fewer rows than this per strip cost more in threads than they save.
constexpr int smallestStrip = 64;

struct Piece
{
    QByteArray deflated;
    uLong adler = 1;
    qsizetype rawLength = 0;
    bool failed = false;
};

// One row's pixels as PNG wants them: red, green and blue of every pixel.
void toRgb(const QRgb *pixels, int width, uchar *rgb)
{
    for (int x = 0; x < width; ++x) {
        const QRgb pixel = pixels[x];
        rgb[3 * x] = uchar(qRed(pixel));
        rgb[3 * x + 1] = uchar(qGreen(pixel));
        rgb[3 * x + 2] = uchar(qBlue(pixel));
    }
}

// How much a filtered row leaves to compress: the sum of its bytes read as signed numbers.
long cost(const uchar *bytes, qsizetype length)
{
    long sum = 0;
    for (qsizetype i = 0; i < length; ++i)
        sum += std::abs(int(qint8(bytes[i])));
    return sum;
}

// Writes the row filtered with "sub" or "up" (against `above`), whichever costs less: the usual guess
// at which compresses better. `out` takes the filter byte and the row.
void filterRow(const uchar *row, const uchar *above, qsizetype length, uchar *out, uchar *spare)
{
    uchar *sub = out + 1;
    for (qsizetype i = 0; i < 3 && i < length; ++i)
        sub[i] = row[i];
    for (qsizetype i = 3; i < length; ++i)
        sub[i] = uchar(row[i] - row[i - 3]);
    out[0] = 1;
    if (!above)
        return;
    for (qsizetype i = 0; i < length; ++i)
        spare[i] = uchar(row[i] - above[i]);
    if (cost(spare, length) < cost(sub, length)) {
        out[0] = 2;
        std::memcpy(sub, spare, size_t(length));
    }
}

void makePiece(const QSize &size, int top, int bottom, bool last, const DrawStrip &draw, Piece &piece)
{
    // The row above the strip is drawn too: the first row is filtered against it.
    const int extra = top > 0 ? 1 : 0;
    QImage strip(size.width(), bottom - top + extra, QImage::Format_RGB32);
    strip.fill(Qt::black);
    draw(strip, top - extra);

    const qsizetype rowLength = qsizetype(size.width()) * 3;
    QByteArray raw((rowLength + 1) * (bottom - top), Qt::Uninitialized);
    std::vector<uchar> previous(static_cast<size_t>(rowLength), 0);
    std::vector<uchar> current(static_cast<size_t>(rowLength), 0);
    std::vector<uchar> spare(static_cast<size_t>(rowLength), 0);
    if (extra)
        toRgb(reinterpret_cast<const QRgb *>(strip.constScanLine(0)), size.width(), previous.data());
    uchar *out = reinterpret_cast<uchar *>(raw.data());
    for (int y = extra; y < strip.height(); ++y) {
        toRgb(reinterpret_cast<const QRgb *>(strip.constScanLine(y)), size.width(), current.data());
        filterRow(current.data(), top + y - extra > 0 ? previous.data() : nullptr, rowLength, out,
                  spare.data());
        out += rowLength + 1;
        std::swap(previous, current);
    }

    piece.rawLength = raw.size();
    piece.adler = adler32(1, reinterpret_cast<const Bytef *>(raw.constData()), uInt(raw.size()));
    z_stream stream {};
    // Raw deflate pieces, joined into one stream: run-length matching finds what filtered gradients
    // repeat, at a fraction of the cost of a full search.
    if (deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) {
        piece.failed = true;
        return;
    }
    piece.deflated.resize(qsizetype(deflateBound(&stream, uLong(raw.size()))) + 16);
    stream.next_in = reinterpret_cast<Bytef *>(raw.data());
    stream.avail_in = uInt(raw.size());
    stream.next_out = reinterpret_cast<Bytef *>(piece.deflated.data());
    stream.avail_out = uInt(piece.deflated.size());
    // A piece that is not the last ends on a byte boundary without closing the stream.
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    piece.failed = last ? result != Z_STREAM_END : (result != Z_OK || stream.avail_in != 0);
    piece.deflated.resize(piece.deflated.size() - qsizetype(stream.avail_out));
    deflateEnd(&stream);
}

void appendChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    char length[4];
    qToBigEndian(quint32(data.size()), length);
    png.append(length, 4);
    const qsizetype start = png.size();
    png.append(type, 4);
    png.append(data);
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef *>(png.constData() + start), uInt(png.size() - start));
    char crcBytes[4];
    qToBigEndian(quint32(crc), crcBytes);
    png.append(crcBytes, 4);
}

} // namespace

QString write(const QString &path, const QSize &size, const DrawStrip &draw, const QByteArray &keyword,
              const QString &text)
{
    if (size.isEmpty())
        return QStringLiteral("The picture has no size.");
    const int strips =
        std::clamp(std::min(QThread::idealThreadCount(), size.height() / smallestStrip), 1, 16);
    std::vector<Piece> pieces(size_t(strips), Piece {});
    const auto rowsOf = [&](int index) {
        return int(qint64(size.height()) * index / strips);
    };
    std::vector<std::thread> workers;
    workers.reserve(size_t(strips - 1));
    for (int index = 1; index < strips; ++index)
        workers.emplace_back([&, index] {
            makePiece(size, rowsOf(index), rowsOf(index + 1), index == strips - 1, draw,
                      pieces[size_t(index)]);
        });
    makePiece(size, 0, rowsOf(1), strips == 1, draw, pieces[0]);
    for (std::thread &worker : workers)
        worker.join();

    QByteArray stream("\x78\x01", 2);
    uLong adler = 1;
    for (const Piece &piece : pieces) {
        if (piece.failed)
            return QStringLiteral("The picture could not be compressed.");
        stream += piece.deflated;
        adler = adler32_combine(adler, piece.adler, z_off_t(piece.rawLength));
    }
    char adlerBytes[4];
    qToBigEndian(quint32(adler), adlerBytes);
    stream.append(adlerBytes, 4);

    QByteArray header(13, '\0');
    qToBigEndian(quint32(size.width()), header.data());
    qToBigEndian(quint32(size.height()), header.data() + 4);
    header[8] = 8; // bits per channel
    header[9] = 2; // red, green, blue

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    if (!keyword.isEmpty()) {
        // Keyword, no compression, no language, no translated keyword, UTF-8 text.
        appendChunk(png, "iTXt", keyword + QByteArray(5, '\0') + text.toUtf8());
    }
    appendChunk(png, "IDAT", stream);
    appendChunk(png, "IEND", {});

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
        return file.errorString();
    return {};
}

} // namespace KivDesktopBackground::PicturePng
