#pragma once

#include <QtGlobal>

#include <sys/types.h>

#include <cstddef>
#include <optional>

namespace KivDesktopBackground {

// A canvas (see PictureProtocol) as the program holds it: the file in memory, and the program's mapping
// of it, which only reads.
struct Canvas
{
    int file = -1;
    const uchar *data = nullptr;
    size_t size = 0;
    pid_t drawnBy = 0; // the process that drew on it last, which most likely has it mapped still

    // A new canvas of `bytes` (every byte 0) for process `drawnBy`, sealed against growing and
    // shrinking: nobody can add pages to it past its size, and reading where a file shrank under its
    // mapping would end the program (SIGBUS). Nothing when it is larger than any picture
    // (PictureProtocol::maxPixels) or there is no memory for it.
    static std::optional<Canvas> make(size_t bytes, pid_t drawnBy);
    // Unmaps and closes it.
    void release() const;
};

} // namespace KivDesktopBackground
