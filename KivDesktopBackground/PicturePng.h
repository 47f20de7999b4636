#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace KivDesktopBackground {

// Writes large opaque pictures as PNG quickly: the picture is drawn and compressed in horizontal
// strips on all cores, each strip a piece of one deflate stream (as parallel gzip tools do), so that a
// screen-sized picture takes milliseconds rather than the third of a second of a one-threaded encoder.
// Rows are filtered with "sub" or "up", whichever leaves less to compress, which suits gradients.
namespace PicturePng {

// Paints one strip of the picture into `strip` (RGB32, already black), whose first row is the
// picture's row `top`. Called on worker threads, several strips at once.
using DrawStrip = std::function<void(QImage &strip, int top)>;

// Writes the picture of `size` pixels to `path` (atomically), with `text` under `keyword` as an
// international text chunk when the keyword is not empty. Gives the reason when it cannot be written,
// an empty text when it was.
QString write(const QString &path, const QSize &size, const DrawStrip &draw, const QByteArray &keyword = {},
              const QString &text = {});

} // namespace PicturePng

} // namespace KivDesktopBackground
