#include "KivDesktopBackground/Canvas.h"

#include "KivDesktopBackground/PictureProtocol.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace KivDesktopBackground {

std::optional<Canvas> Canvas::adopt(int descriptor, pid_t drawnBy)
{
    struct statfs fileSystem
    {
    };
    struct stat status
    {
    };
    const int seals = ::fcntl(descriptor, F_GET_SEALS);
    void *data = MAP_FAILED;
    if (seals >= 0 && (seals & F_SEAL_SHRINK) && ::fstatfs(descriptor, &fileSystem) == 0
        && fileSystem.f_type == TMPFS_MAGIC && ::fstat(descriptor, &status) == 0 && status.st_size > 0
        && status.st_size <= PictureProtocol::maxPixels * 4)
        data = ::mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_SHARED, descriptor, 0);
    if (data == MAP_FAILED) {
        ::close(descriptor);
        return std::nullopt;
    }
    return Canvas {descriptor, static_cast<const uchar *>(data), size_t(status.st_size), drawnBy};
}

void Canvas::release() const
{
    ::munmap(const_cast<uchar *>(data), size);
    ::close(file);
}

} // namespace KivDesktopBackground
