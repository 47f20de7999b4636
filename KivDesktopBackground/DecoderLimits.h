#pragma once

#include <QtGlobal>

#include <chrono>

namespace KivDesktopBackground {

// What one picture decoding process may cost the program. A process that passes its memory or its time
// is ended, and its picture fails naming the bound; what it writes past its share is left out.
struct DecoderLimits
{
    // Its memory: its address space (in a sanitizer's build, whose shadow takes terabytes of it, its
    // resident memory, which the program watches), and every canvas it asks for while it decodes one
    // picture, all of them together (at most PictureProtocol::maxCanvasesAsked), against the same
    // bytes. The decodes that run at once take their memory from their decoder's MemoryBudget.
    qint64 memoryBytes = qint64(1) << 30;
    // One picture's decoding; the process's own alarm ends it 10 s later where the program can no
    // longer.
    std::chrono::milliseconds time {20000};
    // What the program passes on of the process's standard output and error, which a decoder fills as
    // it likes (DecoderOutput): at most this many bytes of the program's standard error, the line that
    // says how much more was left out included, and only what that takes at once.
    qint64 outputBytes = qint64(32) << 10;
};

} // namespace KivDesktopBackground
