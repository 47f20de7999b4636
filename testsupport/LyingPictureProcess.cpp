// A stand-in for the picture decoding process that answers at once with an 8 × 8 picture that lies, as
// told, and then waits to be ended; or one that refuses every picture:
//
//     lying-picture-process foreign|small|large|greedy|many|flooding
//     lying-picture-process unconfined <bits>
//     lying-picture-process refusing|refusing-and-ending|out-of-memory <log>
//
// "foreign": on a canvas of its own, which it hands over; "small": on the canvas it asked for, of fewer
// bytes than the picture's; "large": whatever size was asked for; "greedy": on the second of two canvases
// it asks for, each of 160 MiB (within the 256 MiB the tests give it, but not both); "many": it asks for one
// canvas more than a process may; "flooding": a sound picture for every picture it is asked for, from a
// process that writes terminal control sequences on its standard error without end (and before each answer
// 256 KiB more than a pipe holds, which it waits to have written); "unconfined": a sound picture, from a
// process that says the kernel let it confine itself by none of the means that <bits> names
// (PictureProtocol::Unconfined), and ends after it. "refusing" refuses each picture it is asked for, noting
// its process id as a line of <log> for each, and waits for the next; "refusing-and-ending" ends after its
// refusal; "out-of-memory" says each needs more memory than it may take, and ends.

#include "KivDesktopBackground/PictureProtocol.h"

#include <QFile>
#include <QImage>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace Protocol = KivDesktopBackground::PictureProtocol;

namespace {

// Waits for the program to ask for a picture (the file and the canvas it sends are closed); false once
// the program is gone.
bool asked()
{
    Protocol::Request request;
    int descriptors[] = {-1, -1};
    const bool received =
        Protocol::receive(STDIN_FILENO, &request, sizeof request, descriptors) == ssize_t(sizeof request);
    for (const int descriptor : descriptors)
        ::close(descriptor);
    return received;
}

int refuse(const char *how, const char *log)
{
    const bool ending = std::strcmp(how, "refusing") != 0;
    const bool outOfMemory = std::strcmp(how, "out-of-memory") == 0;
    const QByteArray reason("it is refused");
    while (asked()) {
        QFile noted(QFile::decodeName(log));
        if (!noted.open(QIODevice::Append))
            return 1;
        noted.write(QByteArray::number(::getpid()) + '\n');
        noted.close();
        Protocol::Answer answer;
        answer.outcome = outOfMemory ? Protocol::Outcome::outOfMemory : Protocol::Outcome::refused;
        answer.reasonBytes = outOfMemory ? 0 : quint32(reason.size());
        answer.ending = ending;
        Protocol::send(STDIN_FILENO, &answer, sizeof answer, {});
        if (!outOfMemory)
            Protocol::send(STDIN_FILENO, reason.constData(), size_t(reason.size()), {});
        if (ending)
            return 0;
    }
    return 0;
}

// What a hostile decoder writes: a window title, a cleared screen, the clipboard (OSC 52), a colour,
// a carriage return and a reversal of writing direction.
constexpr char flood[] = "flood \x1b]0;flooded\x07\x1b[2J\x1b]52;c;Zmxvb2Q=\x07\x1b[31mred\rover"
                         "\xe2\x80\xae!\n";

void writeFlood(size_t bytes)
{
    for (size_t written = 0; written < bytes; written += sizeof flood - 1) {
        if (::write(STDERR_FILENO, flood, sizeof flood - 1) < 0)
            return;
    }
}

// Asks the program for a canvas of `bytes`: what came with its answer in `canvas`. False when no answer
// came.
bool askCanvas(quint64 bytes, int *canvas)
{
    Protocol::Answer ask;
    ask.outcome = Protocol::Outcome::canvasWanted;
    ask.canvasBytes = bytes;
    Protocol::CanvasGiven given;
    int descriptors[] = {-1};
    const bool answered = Protocol::send(STDIN_FILENO, &ask, sizeof ask, {})
        && Protocol::receive(STDIN_FILENO, &given, sizeof given, descriptors) == ssize_t(sizeof given);
    *canvas = descriptors[0];
    return answered;
}

// An 8 × 8 picture on canvas `canvas` (as Answer::canvas counts them).
Protocol::Answer eightByEight(quint32 canvas)
{
    Protocol::Answer answer;
    answer.outcome = Protocol::Outcome::picture;
    answer.width = 8;
    answer.height = 8;
    answer.bytesPerLine = 8 * 4;
    answer.format = QImage::Format_RGB32;
    answer.canvas = canvas;
    return answer;
}

// Answers each picture asked for with an 8 × 8 one on a canvas it asks for, until the program is gone.
int answerEach()
{
    while (asked()) {
        writeFlood(256 << 10);
        int canvas = -1;
        if (!askCanvas(8 * 8 * 4, &canvas))
            return 1;
        ::close(canvas);
        const Protocol::Answer answer = eightByEight(1);
        Protocol::send(STDIN_FILENO, &answer, sizeof answer, {});
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    if (std::strncmp(argv[1], "refusing", 8) == 0 || std::strcmp(argv[1], "out-of-memory") == 0)
        return argc < 3 ? 2 : refuse(argv[1], argv[2]);
    if (std::strcmp(argv[1], "flooding") == 0) {
        std::thread([] {
            for (;;)
                writeFlood(1 << 20);
        }).detach();
        return answerEach();
    }
    const bool small = std::strcmp(argv[1], "small") == 0;
    const bool foreign = std::strcmp(argv[1], "foreign") == 0;
    const bool unconfined = std::strcmp(argv[1], "unconfined") == 0;
    // The canvases it asks for, the picture's last.
    std::vector<quint64> asked {small ? 16u : 8 * 8 * 4};
    if (std::strcmp(argv[1], "greedy") == 0)
        asked.assign(2, quint64(160) << 20);
    if (std::strcmp(argv[1], "many") == 0)
        asked.insert(asked.begin(), Protocol::maxCanvasesAsked, 8 * 8 * 4);
    int canvas = -1;
    for (const quint64 bytes : foreign ? std::vector<quint64> {} : asked) {
        if (!askCanvas(bytes, &canvas))
            return 1;
    }
    if (foreign) {
        canvas = ::memfd_create("picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (canvas < 0 || ::ftruncate(canvas, 8 * 8 * 4) != 0)
            return 1;
        ::fcntl(canvas, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW);
    }
    Protocol::Answer answer = eightByEight(quint32(asked.size()));
    if (unconfined) {
        answer.unconfined = argc > 2 ? quint32(std::strtoul(argv[2], nullptr, 10)) : 0;
        answer.ending = 1;
    }
    Protocol::send(STDIN_FILENO, &answer, sizeof answer, {foreign ? canvas : -1});
    ::pause();
    return 0;
}
