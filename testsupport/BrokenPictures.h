#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>

// Pictures that pass a look at their header but do not decode, as a cut download or a damaged disk
// leaves them, and pictures a careful reader must decode without following what they name.
namespace TestSupport::BrokenPictures {

// A picture of one colour in a format Qt writes ("png", "jpeg", "webp", "bmp").
QByteArray picture(QSize size, QColor colour, const char *format = "png");
// The first `bytes` bytes of a PNG.
QByteArray cutPng(int bytes);
// A PNG whose image data block is damaged (its checksum made to match, so the decoder meets it).
QByteArray corruptPng();
// A detailed JPEG of 640 × 360 pixels cut at half its bytes, as a download that stopped leaves it.
QByteArray cutJpeg();
// The same JPEG whole, with 2 KB of noise over its data.
QByteArray corruptJpeg();
// A PNG of 8 × 8 pixels with `count` compressed text chunks, each of which says nearly 8 MB (what the
// PNG library reads of one at most).
QByteArray pngWithTexts(int count);
// A gzip-compressed SVG of `count` empty `element`s ("g": groups, which the renderer keeps; "desc":
// descriptions, which it reads and drops).
QByteArray svgzOf(qint64 count, const QByteArray &element);
// A PNG of 8 × 8 pixels whose header says `claimed`.
QByteArray pngClaiming(QSize claimed);
// The 64 bytes of an uncompressed 24-bit BMP whose header says `claimed`.
QByteArray bmpClaiming(QSize claimed);
// A GIF of one colour, cut after `bytes` bytes when that is less than it holds.
QByteArray gif(QSize size, QColor colour, qsizetype bytes = -1);
// A whole GIF of one colour whose data holds only `pixels` pixels.
QByteArray gifShortOf(QSize size, QColor colour, qint64 pixels);
// A GIF of one colour, of colours of its own (none of the screen's), on a screen wider than it: what
// lies beside it on the screen its decoder leaves as it was.
QByteArray gifOnWiderScreen(QSize size, QColor colour, int screenWidth);
// A BMP of one colour in 16-bit bit fields (5, 6 and 5 bits) behind a header of 56 bytes, as some
// programs write them.
QByteArray bitFieldBmp(QSize size, QColor colour);
// A TGA of the format's second version, of one colour in uncompressed true colour of `bits` (16, 24 or
// 32) a pixel.
QByteArray tga(QSize size, QColor colour, int bits);
// Writes an RGB TIFF of one colour (LZW, so a camera's size takes little room); false when it could not.
bool writeTiff(const QString &path, QSize size, QColor colour);
// An SVG of `size` filled with `colour` and, over all of it, an `<image>` whose reference is `href`.
QByteArray svgWithImage(QSize size, QColor colour, const QString &href);
// The reference of an `<image>` that holds `svg` as data.
QString svgData(const QByteArray &svg);
// An SVG of `size` whose only shape, filling it with `colour`, is inside a link to `href`.
QByteArray svgWithLink(QSize size, QColor colour, const QString &href);
// An SVG of `size` filled with `colour` over which a `<use>` of `#id` draws a shape of `used` that the
// SVG defines under that id.
QByteArray svgWithUse(QSize size, QColor colour, const QString &id, QColor used);
// An SVG of `size` filled with `colour`, over which a path whose data has an error right after it
// outlines the whole picture is filled with `outlined`.
QByteArray svgWithBadPath(QSize size, QColor colour, QColor outlined);
// svgWithImage() whose reference is an entity of its document type, which holds `href`.
QByteArray svgWithEntity(QSize size, QColor colour, const QString &href);
// The XML document `svg` (UTF-8, no declaration) in `encoding`, which it declares: in "UTF-7" all of
// it past the declaration base64-encoded, so that none of its bytes show a letter of it; in an encoding
// nobody knows, as it is.
QByteArray inEncoding(const QByteArray &svg, const char *encoding);
// A 256 × 256 BMP of 8-bit colours, compressed by runs, whose rows each hold 16 pixels of `colour`, skip
// 16 (a move), hold 16 more and end there: what it skips is left to the decoder, which leaves it at
// colour 0, `ground`.
QByteArray bmpWithSkips(QColor colour, QColor ground);

} // namespace TestSupport::BrokenPictures
