#pragma once

// The program's picture decoding process. It decodes the pictures that the program hands it, one at a
// time, under a memory limit, and holds nothing of the program's: its standard input is a socket on
// which each request comes with the picture's open file, and the answer is the decoded pixels (on a
// canvas, see PictureProtocol) or why there are none. It ends when the program closes the socket (or
// ends it).
//
//   tapestrel-picture --memory <bytes> --alarm <seconds>
//
// The program's own time limit ends a decode that takes too long; the alarm only ends a decode that
// outlives the program, or a process left waiting that long for a request. The process ends at once
// when the program's end of the socket closes, however the program ended.
//
// Once loaded, the process confines itself (see Confinement): what a decoder is made to do reads no
// file and reaches nothing the process was not handed.

#include "PictureReader.h"

#include <QFile>
#include <QString>

#include <climits>
#include <optional>

namespace DecodingProcess {

// What the tests' build of the process (Probe.cpp) does besides decoding; the installed process does
// none of it.
struct Probing
{
    // Looks at a picture's file before it is decoded (`canvas` gives memory on a canvas, as a decoder
    // gets it); an answer is given in place of the picture.
    using Look = std::optional<PictureReader::Result> (*)(QFile &file, const PictureReader::Memory &canvas);
    Look look = nullptr;
    // Confines the process as a kernel whose Landlock is at most this version would.
    int landlockVersionAtMost = INT_MAX;
    // Adds to the filter a rule that the library cannot add.
    bool unaddableRule = false;
};

// Runs the process on its command line; gives its exit status.
int run(int argc, char **argv, const Probing &probing = {});

} // namespace DecodingProcess
