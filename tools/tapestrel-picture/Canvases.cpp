#include "Canvases.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How many canvases stay mapped, and up to what size: a larger one (for a picture of several screens)
// would take from the next picture's memory.
constexpr size_t keptMappings = 4;
constexpr size_t keptBytes = size_t(64) << 20;

} // namespace

Canvases::~Canvases()
{
    finish();
    for (const Mapping &mapping : m_mapped)
        ::munmap(mapping.data, mapping.size);
}

Canvases::Mapping *Canvases::find(dev_t device, ino_t inode)
{
    const auto found = std::find_if(m_mapped.begin(), m_mapped.end(), [&](const Mapping &mapping) {
        return mapping.device == device && mapping.inode == inode;
    });
    if (found == m_mapped.end())
        return nullptr;
    // The most recently used last.
    std::rotate(found, found + 1, m_mapped.end());
    return &m_mapped.back();
}

void Canvases::drop(const uchar *data)
{
    const auto found = std::find_if(m_mapped.begin(), m_mapped.end(),
                                    [data](const Mapping &mapping) { return mapping.data == data; });
    if (found == m_mapped.end())
        return;
    ::munmap(found->data, found->size);
    m_mapped.erase(found);
}

void Canvases::lend(int descriptor)
{
    struct stat status
    {
    };
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0 || status.st_size <= 0) {
        if (descriptor >= 0)
            ::close(descriptor);
        return;
    }
    if (const Mapping *mapped = find(status.st_dev, status.st_ino)) {
        m_lent = mapped->data;
    } else {
        void *data =
            ::mmap(nullptr, size_t(status.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
        if (data != MAP_FAILED) {
            m_mapped.push_back(
                {status.st_dev, status.st_ino, static_cast<uchar *>(data), size_t(status.st_size)});
            m_lent = m_mapped.back().data;
        }
    }
    ::close(descriptor);
}

const uchar *Canvases::data() const
{
    return m_current;
}

uchar *Canvases::reserve(size_t bytes)
{
    for (const uchar *candidate : {m_current, m_lent}) {
        const auto found = std::find_if(m_mapped.begin(), m_mapped.end(), [&](const Mapping &mapping) {
            return candidate && mapping.data == candidate && mapping.size >= bytes;
        });
        if (found != m_mapped.end()) {
            m_current = found->data;
            return found->data;
        }
    }
    // A new canvas made for this picture that turned out too small is of no use.
    if (m_newFile >= 0) {
        drop(m_current);
        ::close(m_newFile);
        m_newFile = -1;
    }
    m_current = nullptr;
    const int file = ::memfd_create("picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (file < 0)
        return nullptr;
    struct stat status
    {
    };
    void *data = MAP_FAILED;
    if (::ftruncate(file, off_t(bytes)) == 0
        && ::fcntl(file, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0
        && ::fstat(file, &status) == 0)
        data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    if (data == MAP_FAILED) {
        ::close(file);
        return nullptr;
    }
    m_mapped.push_back({status.st_dev, status.st_ino, static_cast<uchar *>(data), bytes});
    m_newFile = file;
    m_current = m_mapped.back().data;
    return m_mapped.back().data;
}

void Canvases::finish()
{
    if (m_newFile >= 0)
        ::close(m_newFile);
    m_newFile = -1;
    m_lent = nullptr;
    m_current = nullptr;
    std::erase_if(m_mapped, [](const Mapping &mapping) {
        const bool large = mapping.size > keptBytes;
        if (large)
            ::munmap(mapping.data, mapping.size);
        return large;
    });
    while (m_mapped.size() > keptMappings) {
        ::munmap(m_mapped.front().data, m_mapped.front().size);
        m_mapped.erase(m_mapped.begin());
    }
}
