#pragma once

#include <QFile>
#include <QImageReader>
#include <QString>

namespace KivDesktopBackground {

// An image file named by a stored background or chosen by the user, opened for decoding. Only a
// regular file of at most `maxBytes` is opened: a named pipe or a device in its place would keep
// the decoding thread waiting, possibly for ever, and quitting waits for the threads that decode.
class ImageFile
{
public:
    static constexpr qint64 maxBytes = 256ll * 1024 * 1024;

    explicit ImageFile(const QString &path);
    ImageFile(const ImageFile &) = delete;
    ImageFile &operator=(const ImageFile &) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    // Reads from the file; reads nothing when it could not be opened.
    QImageReader &reader() { return m_reader; }

private:
    QFile m_file;
    QImageReader m_reader;
};

} // namespace KivDesktopBackground
