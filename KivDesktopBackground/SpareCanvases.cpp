#include "KivDesktopBackground/SpareCanvases.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace KivDesktopBackground {

namespace {

// A picture is shown from its canvas when the canvas is at most this much larger (a lent canvas is
// rarely the picture's size to the byte); else it is copied off and the canvas given back.
constexpr size_t slackEighths = 1;

// What a picture shown from a canvas carries to give it back when the picture goes.
struct Shown
{
    SpareCanvases *spares;
    Canvas canvas;
};

} // namespace

SpareCanvases::SpareCanvases(size_t maxSpares, size_t maxSpareBytes)
    : m_maxSpares(maxSpares)
    , m_maxSpareBytes(maxSpareBytes)
{ }

SpareCanvases::~SpareCanvases()
{
    for (const Canvas &canvas : m_spares)
        canvas.release();
}

SpareCanvases &SpareCanvases::shared()
{
    static auto *spares = new SpareCanvases;
    return *spares;
}

std::optional<Canvas> SpareCanvases::lend(pid_t process)
{
    const std::lock_guard lock(m_mutex);
    const auto lessSuited = [process](const Canvas &one, const Canvas &other) {
        return std::pair(one.drawnBy == process, one.size) < std::pair(other.drawnBy == process, other.size);
    };
    const auto chosen = std::max_element(m_spares.begin(), m_spares.end(), lessSuited);
    if (chosen == m_spares.end())
        return std::nullopt;
    const Canvas canvas = *chosen;
    m_spares.erase(chosen);
    m_spareBytes -= canvas.size;
    return canvas;
}

void SpareCanvases::giveBack(const Canvas &canvas)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_processes > 0 && m_spares.size() < m_maxSpares
            && m_spareBytes + canvas.size <= m_maxSpareBytes) {
            m_spares.push_back(canvas);
            m_spareBytes += canvas.size;
            return;
        }
    }
    canvas.release();
}

QImage SpareCanvases::picture(const Canvas &canvas, int width, int height, QImage::Format format, bool copied)
{
    const size_t bytes = size_t(width) * 4 * size_t(height);
    if (!copied && canvas.size <= bytes + bytes / 8 * slackEighths)
        return QImage(canvas.data, width, height, qsizetype(width) * 4, format, &pictureGone,
                      new Shown {this, canvas});
    QImage copy(width, height, format);
    if (!copy.isNull())
        std::memcpy(copy.bits(), canvas.data, size_t(copy.sizeInBytes()));
    giveBack(canvas);
    return copy;
}

void SpareCanvases::processStarted()
{
    const std::lock_guard lock(m_mutex);
    ++m_processes;
}

void SpareCanvases::processEnded()
{
    std::vector<Canvas> spares;
    {
        const std::lock_guard lock(m_mutex);
        if (--m_processes == 0) {
            spares.swap(m_spares);
            m_spareBytes = 0;
        }
    }
    for (const Canvas &canvas : spares)
        canvas.release();
}

size_t SpareCanvases::spareBytes() const
{
    const std::lock_guard lock(m_mutex);
    return m_spareBytes;
}

void SpareCanvases::pictureGone(void *gone)
{
    const std::unique_ptr<Shown> shown(static_cast<Shown *>(gone));
    shown->spares->giveBack(shown->canvas);
}

} // namespace KivDesktopBackground
