#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>

// Pictures that pass a look at their header but do not decode, as a cut download or a damaged disk
// leaves them, and pictures a careful reader must decode without following what they name.
namespace TestSupport::BrokenPictures {

// A PNG of one colour.
QByteArray png(QSize size, QColor colour);
// The first `bytes` bytes of a PNG.
QByteArray cutPng(int bytes);
// A PNG whose image data block is damaged (its checksum made to match, so the decoder meets it).
QByteArray corruptPng();
// A PNG of 8 × 8 pixels whose header says `claimed`.
QByteArray pngClaiming(QSize claimed);
// The 64 bytes of an uncompressed 24-bit BMP whose header says `claimed`.
QByteArray bmpClaiming(QSize claimed);
// Writes an RGB TIFF of one colour (LZW, so a camera's size takes little room); false when it could not.
bool writeTiff(const QString &path, QSize size, QColor colour);
// An SVG of `size` filled with `colour` and, over all of it, an `<image>` whose reference is `href`.
QByteArray svgWithImage(QSize size, QColor colour, const QString &href);

} // namespace TestSupport::BrokenPictures
