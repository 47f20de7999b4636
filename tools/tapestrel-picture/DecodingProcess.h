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

#include <QFile>
#include <QString>

#include <optional>

namespace DecodingProcess {

// Looks at a picture's file before it is decoded; an answer is given in place of the picture (as a
// refusal's reason). The installed process looks at nothing.
using Look = std::optional<QString> (*)(QFile &file);

// Runs the process on its command line; gives its exit status.
int run(int argc, char **argv, Look look = nullptr);

} // namespace DecodingProcess
