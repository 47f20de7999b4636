#include "KivDesktopBackground/ImageFile.h"

#include "platform/RegularFile.h"

#include <QCoreApplication>

namespace KivDesktopBackground {

namespace {

// Why the reader's picture is too large to draw; nothing when it is not. The size comes from the
// header; a reader that cannot tell it decodes within its own limits.
std::optional<QString> tooLarge(QImageReader &reader)
{
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > ImageFile::maxPixels)
        return QCoreApplication::translate("ImageFile", "it is too large to be shown (%1 × %2 pixels)")
            .arg(size.width())
            .arg(size.height());
    return std::nullopt;
}

} // namespace

ImageFile::ImageFile(const QString &path)
{
    // The reader takes the format from the file's contents: the file is read through the descriptor
    // that was checked, which carries no name.
    if (Platform::RegularFile::open(m_file, path, maxBytes))
        return;
    m_reader.setDevice(&m_file);
    if (tooLarge(m_reader)) {
        m_reader.setDevice(nullptr);
        m_file.close();
    }
}

std::optional<QString> ImageFile::unshowableReason(const QString &path)
{
    QFile file;
    if (const std::optional<QString> failure = Platform::RegularFile::open(file, path, maxBytes))
        return failure;
    QImageReader reader(&file);
    if (!reader.canRead())
        return QCoreApplication::translate("ImageFile", "it is not a picture the program can read");
    return tooLarge(reader);
}

} // namespace KivDesktopBackground
