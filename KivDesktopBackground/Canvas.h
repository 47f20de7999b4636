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

    // The canvas `descriptor` that process `drawnBy` handed over with a picture, mapped, the descriptor
    // then its own; nothing (the descriptor closed) when it is not a file in memory sealed against
    // shrinking or cannot be mapped. Reading where a file shrank under its mapping would end the program
    // (SIGBUS), and so may reading a file of huge pages when the system has none to give.
    static std::optional<Canvas> adopt(int descriptor, pid_t drawnBy);
    // Unmaps and closes it.
    void release() const;
};

} // namespace KivDesktopBackground
