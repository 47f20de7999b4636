#include "KivDesktopBackground/Canvas.h"

#include "KivDesktopBackground/PictureProtocol.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace KivDesktopBackground {

std::optional<Canvas> Canvas::make(size_t bytes, pid_t drawnBy)
{
    if (bytes == 0 || bytes > size_t(PictureProtocol::maxPixels) * 4)
        return std::nullopt;
    const int file = ::memfd_create("picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (file < 0)
        return std::nullopt;
    void *data = MAP_FAILED;
    if (::ftruncate(file, off_t(bytes)) == 0
        && ::fcntl(file, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL) == 0)
        data = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, file, 0);
    if (data == MAP_FAILED) {
        ::close(file);
        return std::nullopt;
    }
    return Canvas {file, static_cast<const uchar *>(data), bytes, drawnBy};
}

void Canvas::release() const
{
    ::munmap(const_cast<uchar *>(data), size);
    ::close(file);
}

} // namespace KivDesktopBackground
