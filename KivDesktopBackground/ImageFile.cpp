#include "KivDesktopBackground/ImageFile.h"

#include "platform/RegularFile.h"

namespace KivDesktopBackground {

ImageFile::ImageFile(const QString &path)
{
    // The reader takes the format from the file's contents: the file is read through the descriptor
    // that was checked, which carries no name.
    if (!Platform::RegularFile::open(m_file, path, maxBytes))
        m_reader.setDevice(&m_file);
}

} // namespace KivDesktopBackground
