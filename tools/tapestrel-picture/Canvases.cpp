#include "Canvases.h"

#include "KivDesktopBackground/PictureProtocol.h"

#include <algorithm>
#include <cstring>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Protocol = KivDesktopBackground::PictureProtocol;

namespace {

// How many canvases stay mapped, and up to what size: a larger one (for a picture of several screens)
// would take from the next picture's memory.
constexpr size_t keptMappings = 4;
constexpr size_t keptBytes = size_t(64) << 20;

} // namespace

Canvases::Canvases(int channel)
    : m_channel(channel)
{ }

Canvases::~Canvases()
{
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

Canvases::Mapping *Canvases::map(int descriptor, bool fresh)
{
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) != 0 || status.st_size <= 0)
        return nullptr;
    if (Mapping *mapped = find(status.st_dev, status.st_ino))
        return mapped;
    void *data = ::mmap(nullptr, size_t(status.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (data == MAP_FAILED)
        return nullptr;
    m_mapped.push_back(
        {status.st_dev, status.st_ino, static_cast<uchar *>(data), size_t(status.st_size), fresh});
    return &m_mapped.back();
}

void Canvases::lend(int descriptor)
{
    if (descriptor < 0)
        return;
    // It holds an earlier picture, drawn by whichever process.
    if (Mapping *lent = map(descriptor, false)) {
        lent->clear = false;
        m_lent = lent->data;
    }
    ::close(descriptor);
}

Canvases::Mapping *Canvases::asked(size_t bytes)
{
    Protocol::Answer ask;
    ask.outcome = Protocol::Outcome::canvasWanted;
    ask.canvasBytes = bytes;
    if (!Protocol::send(m_channel, &ask, sizeof ask, {}))
        return nullptr;
    Protocol::CanvasGiven given;
    int descriptor[] = {-1};
    const bool received =
        Protocol::receive(m_channel, &given, sizeof given, descriptor) == ssize_t(sizeof given)
        && given.version == Protocol::version && given.bytes >= bytes;
    Mapping *made = received && descriptor[0] >= 0 ? map(descriptor[0], true) : nullptr;
    if (descriptor[0] >= 0)
        ::close(descriptor[0]);
    if (made)
        m_given.push_back(made->data);
    return made;
}

const uchar *Canvases::data() const
{
    return m_current;
}

quint32 Canvases::chosen() const
{
    const auto given = std::find(m_given.begin(), m_given.end(), m_current);
    return given == m_given.end() ? 0 : quint32(given - m_given.begin()) + 1;
}

uchar *Canvases::reserve(size_t bytes, bool cleared)
{
    Mapping *chosen = nullptr;
    for (const uchar *candidate : {m_current, m_lent}) {
        const auto found = std::find_if(m_mapped.begin(), m_mapped.end(), [&](const Mapping &mapping) {
            return candidate && mapping.data == candidate && mapping.size >= bytes;
        });
        if (found != m_mapped.end()) {
            chosen = &*found;
            break;
        }
    }
    if (!chosen)
        chosen = asked(bytes);
    if (!chosen)
        return nullptr;
    // Only the part the picture takes is cleared: a canvas lent for a smaller picture is often larger.
    if (cleared && !chosen->clear)
        std::memset(chosen->data, 0, bytes);
    chosen->clear = false;
    m_current = chosen->data;
    return chosen->data;
}

void Canvases::finish()
{
    m_lent = nullptr;
    m_current = nullptr;
    m_given.clear();
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
