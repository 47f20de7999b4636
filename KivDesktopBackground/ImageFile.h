#pragma once

#include <QFile>
#include <QImageReader>
#include <QString>

#include <optional>

namespace KivDesktopBackground {

// An image file named by a stored background or chosen by the user, opened for decoding. Only a
// regular file of at most `maxBytes` is opened: a named pipe or a device in its place would keep
// the decoding thread waiting, possibly for ever, and quitting waits for the threads that decode.
// A picture that says it has more than `maxPixels` pixels is not decoded either: it would take
// minutes and gigabytes to draw, so the program draws nothing larger.
class ImageFile
{
public:
    static constexpr qint64 maxBytes = 256ll * 1024 * 1024;
    static constexpr qint64 maxPixels = qint64(1) << 28;

    explicit ImageFile(const QString &path);
    ImageFile(const ImageFile &) = delete;
    ImageFile &operator=(const ImageFile &) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    // Reads from the file; reads nothing when it could not be opened.
    QImageReader &reader() { return m_reader; }

    // Why the picture at `path` cannot be shown: no regular file, unreadable, over either limit, or
    // no picture the program reads. Nothing when it can be. Reads the picture's header only.
    static std::optional<QString> unshowableReason(const QString &path);

private:
    QFile m_file;
    QImageReader m_reader;
};

} // namespace KivDesktopBackground
