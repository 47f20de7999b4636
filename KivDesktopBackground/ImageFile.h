#pragma once

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QSize>
#include <QString>
#include <QUrl>

#include <optional>

namespace KivDesktopBackground {

// An image file named by a stored background or chosen by the user, opened for decoding. Only a
// regular file of at most `maxBytes` is opened: a named pipe or a device in its place would keep
// the decoding thread waiting, possibly for ever, and quitting waits for the threads that decode.
// A picture that says it has more than `maxPixels` pixels is not decoded either: it would take
// minutes and gigabytes to draw, so the program draws nothing larger.
//
// An SVG picture is read whole and decoded from what it holds alone: the files it names (an
// `<image>` of a picture elsewhere) are left out, so a picture can neither wait on a pipe it names
// nor show a file its author could not otherwise put on the screen. Pictures it holds as data stay.
class ImageFile
{
public:
    static constexpr qint64 maxBytes = 256ll * 1024 * 1024;
    static constexpr qint64 maxPixels = qint64(1) << 28;

    explicit ImageFile(const QString &path);
    ImageFile(const ImageFile &) = delete;
    ImageFile &operator=(const ImageFile &) = delete;

    // Whether the picture can be read: the file opened, and its header passed the checks above.
    bool isOpen() const { return !m_failure; }
    // Why not: no regular file, unreadable, over either limit, no picture the program reads, or a
    // header that promises more than the file holds.
    const std::optional<QString> &failure() const { return m_failure; }
    // Reads from the file; reads nothing when it could not be opened. Read through read() below.
    QImageReader &reader() { return m_reader; }

    // The picture, decoded with Qt's allocation limit raised as far as this picture needs within
    // `maxPixels` (Qt's own limit refuses a camera's photo). A null image when it cannot be decoded.
    QImage read();

    struct Decoded
    {
        QImage image;
        std::optional<QString> failure; // a sentence naming the picture; set when `image` is null
    };
    // The picture of a file URL decoded once, as large as it needs to be to cover each of `sizes`
    // (pixels) with its aspect ratio kept, never larger than the picture (an SVG is drawn at that
    // size), ready to draw: opaque pictures as RGB32, others premultiplied. With no sizes, a
    // screen of 1920 × 1080 is assumed. Reads the file once; may take long, never waits on a pipe.
    static Decoded decodeCovering(const QUrl &url, const QList<QSize> &sizes);

    // The smallest size with the aspect ratio of `source` that covers every one of `targets`.
    static QSize coveringSize(const QSize &source, const QList<QSize> &targets);

    // "The picture “…” cannot be found."
    static QString notFoundMessage(const QString &path);

private:
    std::optional<QString> m_failure;
    QFile m_file;
    QBuffer m_svg; // what an SVG picture holds, without the files it names
    QImageReader m_reader;
};

} // namespace KivDesktopBackground
