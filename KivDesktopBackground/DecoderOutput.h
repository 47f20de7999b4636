#pragma once

#include <QtGlobal>

namespace KivDesktopBackground {

// What a decoding process writes on its standard output and error is a hostile picture's to choose: the
// program passes it on to its own standard error as untrusted, bounded output. At most `bound` bytes of
// it reach the program's standard error, its control characters shown as visible escapes (a line break
// stays one), then one line that says how much more was left out. The program never waits on its own
// standard error for a decoder: what that does not take at once (a terminal or a pipe nobody empties,
// of which half is kept for the program's own messages) is dropped and counted, and so is everything
// once it cannot be written at all (a pipe whose reader went away). Whatever becomes of the program's
// standard error, the process's output is read to its end: the process neither waits on it nor ends
// for it.
class DecoderOutput
{
public:
    // Passes on what comes through `output` (the reading end of the process's pipe, which it closes at
    // the pipe's end) on a thread of its own.
    static void passOn(int output, qint64 bound);
};

} // namespace KivDesktopBackground
