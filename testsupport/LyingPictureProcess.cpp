// A stand-in for the picture decoding process that answers at once with an 8 × 8 picture that lies, as
// told, and then waits to be ended; or one that refuses every picture:
//
//     lying-picture-process foreign|small|large|greedy|many
//     lying-picture-process unconfined <bits>
//     lying-picture-process refusing|refusing-and-ending|out-of-memory <log>
//
// "foreign": on a canvas of its own, which it hands over; "small": on the canvas it asked for, of fewer
// bytes than the picture's; "large": whatever size was asked for; "greedy": it asks for a canvas of
// 512 MiB first (past the limits the tests give it); "many": it asks for one canvas more than a process may;
// "unconfined": a sound picture, from a process that says the kernel let it confine itself by none of the
// means that <bits> names (PictureProtocol::Unconfined), and ends after it. "refusing" refuses each picture
// it is asked for, noting its process id as a line of <log> for each, and waits for the next;
// "refusing-and-ending" ends after its refusal; "out-of-memory" says each needs more memory than it may take,
// and ends.

#include "KivDesktopBackground/PictureProtocol.h"

#include <QFile>
#include <QImage>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace Protocol = KivDesktopBackground::PictureProtocol;

namespace {

int refuse(const char *how, const char *log)
{
    const bool ending = std::strcmp(how, "refusing") != 0;
    const bool outOfMemory = std::strcmp(how, "out-of-memory") == 0;
    const QByteArray reason("it is refused");
    Protocol::Request request;
    int descriptors[] = {-1, -1};
    while (Protocol::receive(STDIN_FILENO, &request, sizeof request, descriptors)
           == ssize_t(sizeof request)) {
        for (int &descriptor : descriptors)
            ::close(std::exchange(descriptor, -1));
        QFile asked(QFile::decodeName(log));
        if (!asked.open(QIODevice::Append))
            return 1;
        asked.write(QByteArray::number(::getpid()) + '\n');
        asked.close();
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

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    if (std::strncmp(argv[1], "refusing", 8) == 0 || std::strcmp(argv[1], "out-of-memory") == 0)
        return argc < 3 ? 2 : refuse(argv[1], argv[2]);
    const bool small = std::strcmp(argv[1], "small") == 0;
    const bool foreign = std::strcmp(argv[1], "foreign") == 0;
    const bool unconfined = std::strcmp(argv[1], "unconfined") == 0;
    // The canvases it asks for, the picture's last.
    std::vector<quint64> asked {small ? 16u : 8 * 8 * 4};
    if (std::strcmp(argv[1], "greedy") == 0)
        asked.insert(asked.begin(), quint64(512) << 20);
    if (std::strcmp(argv[1], "many") == 0)
        asked.insert(asked.begin(), Protocol::maxCanvasesAsked, 8 * 8 * 4);
    int canvas = -1;
    for (const quint64 bytes : foreign ? std::vector<quint64> {} : asked) {
        Protocol::Answer ask;
        ask.outcome = Protocol::Outcome::canvasWanted;
        ask.canvasBytes = bytes;
        Protocol::CanvasGiven given;
        int descriptors[] = {-1};
        if (!Protocol::send(STDIN_FILENO, &ask, sizeof ask, {})
            || Protocol::receive(STDIN_FILENO, &given, sizeof given, descriptors) != ssize_t(sizeof given))
            return 1;
        canvas = descriptors[0];
    }
    if (foreign) {
        canvas = ::memfd_create("picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (canvas < 0 || ::ftruncate(canvas, 8 * 8 * 4) != 0)
            return 1;
        ::fcntl(canvas, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW);
    }
    Protocol::Answer answer;
    answer.outcome = Protocol::Outcome::picture;
    answer.width = 8;
    answer.height = 8;
    answer.bytesPerLine = 8 * 4;
    answer.format = QImage::Format_RGB32;
    answer.canvas = quint32(asked.size());
    if (unconfined) {
        answer.unconfined = argc > 2 ? quint32(std::strtoul(argv[2], nullptr, 10)) : 0;
        answer.ending = 1;
    }
    Protocol::send(STDIN_FILENO, &answer, sizeof answer, {foreign ? canvas : -1});
    ::pause();
    return 0;
}
