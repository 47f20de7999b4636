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

// PNG's "sub" filter of one row: red, green and blue of each pixel, less those of the pixel to its
// left.
void filterSub(const QRgb *row, int width, uchar *out)
{
    QRgb left = 0;
    for (int x = 0; x < width; ++x) {
        const QRgb pixel = row[x];
        out[3 * x] = uchar(qRed(pixel) - qRed(left));
        out[3 * x + 1] = uchar(qGreen(pixel) - qGreen(left));
        out[3 * x + 2] = uchar(qBlue(pixel) - qBlue(left));
        left = pixel;
    }
}

// PNG's "up" filter: less the pixel above.
void filterUp(const QRgb *row, const QRgb *above, int width, uchar *out)
{
    for (int x = 0; x < width; ++x) {
        const QRgb pixel = row[x];
        const QRgb up = above[x];
        out[3 * x] = uchar(qRed(pixel) - qRed(up));
        out[3 * x + 1] = uchar(qGreen(pixel) - qGreen(up));
        out[3 * x + 2] = uchar(qBlue(pixel) - qBlue(up));
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

void makePiece(const QSize &size, int top, int bottom, bool last, const DrawStrip &draw, Piece &piece)
{
    // The row above the strip is drawn too: the first row is filtered against it.
    const int extra = top > 0 ? 1 : 0;
    QImage strip(size.width(), bottom - top + extra, QImage::Format_RGB32);
    strip.fill(Qt::black);
    draw(strip, top - extra);
    const auto row = [&strip](int y) {
        return reinterpret_cast<const QRgb *>(strip.constScanLine(y));
    };

    const int width = size.width();
    const qsizetype rowLength = qsizetype(width) * 3 + 1;
    std::vector<uchar> filtered(static_cast<size_t>(rowLength), 0);
    // One filter serves the whole strip: the rows of a gradient all have the same make-up, so the
    // filter that suits a few rows spread over the strip (the usual guess: the smaller sum) suits the
    // others.
    long subCost = 0;
    long upCost = 0;
    constexpr int samples = 8;
    for (int sample = 0; sample < samples; ++sample) {
        const int y = 1 + (strip.height() - 1) * sample / samples;
        if (y >= strip.height())
            break;
        filterSub(row(y), width, filtered.data());
        subCost += cost(filtered.data(), rowLength - 1);
        filterUp(row(y), row(y - 1), width, filtered.data());
        upCost += cost(filtered.data(), rowLength - 1);
    }
    const bool up = upCost < subCost;

    z_stream stream {};
    // Raw deflate pieces, joined into one stream: run-length matching finds what filtered gradients
    // repeat, at a fraction of the cost of a full search.
    if (deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK) {
        piece.failed = true;
        return;
    }
    piece.deflated.resize(64 * 1024);
    stream.next_out = reinterpret_cast<Bytef *>(piece.deflated.data());
    stream.avail_out = uInt(piece.deflated.size());
    // Each row is compressed while it is still in the cache.
    const auto compress = [&](int flush) {
        for (;;) {
            if (stream.avail_out == 0) {
                const qsizetype used = piece.deflated.size();
                piece.deflated.resize(used * 2);
                stream.next_out = reinterpret_cast<Bytef *>(piece.deflated.data() + used);
                stream.avail_out = uInt(used);
            }
            const int result = deflate(&stream, flush);
            if (result == Z_STREAM_ERROR)
                return false;
            if (flush == Z_FINISH ? result == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out != 0)
                return true;
        }
    };
    for (int y = extra; y < strip.height() && !piece.failed; ++y) {
        const bool againstAbove = up && (top + y - extra) > 0;
        filtered[0] = againstAbove ? 2 : 1;
        if (againstAbove)
            filterUp(row(y), row(y - 1), width, filtered.data() + 1);
        else
            filterSub(row(y), width, filtered.data() + 1);
        piece.adler = adler32(piece.adler, filtered.data(), uInt(rowLength));
        piece.rawLength += rowLength;
        stream.next_in = filtered.data();
        stream.avail_in = uInt(rowLength);
        piece.failed = !compress(Z_NO_FLUSH);
    }
    // A piece that is not the last ends on a byte boundary without closing the stream.
    if (!piece.failed)
        piece.failed = !compress(last ? Z_FINISH : Z_SYNC_FLUSH);
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
