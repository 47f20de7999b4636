#pragma once

#include "KivDesktopBackground/Canvas.h"

#include <QImage>

#include <mutex>
#include <optional>
#include <vector>

namespace KivDesktopBackground {

// The canvases whose pictures are no longer shown, lent to later decodes so that neither side needs
// fresh pages. They are kept, within a count and a number of bytes, as long as decoding processes live,
// and go with the last of them. The program's own is never destroyed: a picture may outlive everything
// else. Every member may be called from any thread.
class SpareCanvases
{
public:
    // Enough for a picture being decoded while one is shown, and for a preview on each core.
    static constexpr size_t defaultMaxSpares = 8;
    static constexpr size_t defaultMaxSpareBytes = size_t(64) << 20;

    explicit SpareCanvases(size_t maxSpares = defaultMaxSpares, size_t maxSpareBytes = defaultMaxSpareBytes);
    SpareCanvases(const SpareCanvases &) = delete;
    SpareCanvases &operator=(const SpareCanvases &) = delete;
    ~SpareCanvases();

    static SpareCanvases &shared();

    // A canvas to lend to `process`: one it drew on before where there is one, else the largest; nothing
    // when there is none.
    std::optional<Canvas> lend(pid_t process);
    // Keeps the canvas for later pictures while processes live and the bounds allow; else releases it.
    void giveBack(const Canvas &canvas);

    // The picture at the start of `canvas`, which is this one's: shown from the canvas itself, which
    // comes back here when the picture goes, where the canvas is about the picture's size and
    // `copied` is false; otherwise a copy, and the canvas comes back at once (a null image when there
    // is no memory for the copy). A shown picture so never holds a canvas much larger than itself.
    QImage picture(const Canvas &canvas, int width, int height, QImage::Format format, bool copied);

    void processStarted();
    void processEnded();

    size_t spareBytes() const;

private:
    static void pictureGone(void *gone);

    const size_t m_maxSpares;
    const size_t m_maxSpareBytes;
    mutable std::mutex m_mutex;
    std::vector<Canvas> m_spares;
    size_t m_spareBytes = 0;
    int m_processes = 0;
};

} // namespace KivDesktopBackground
