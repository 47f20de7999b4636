// A stand-in for the picture decoding process that answers at once with an 8 × 8 picture that lies, as
// told, and then waits to be ended:
//
//     lying-picture-process unsealed|small|large|unconfined
//
// "unsealed": on a canvas that could shrink under the program's mapping; "small": on one of fewer bytes
// than the picture's; "large": whatever size was asked for; "unconfined": a sound picture, from a
// process that says the kernel let it confine itself by no means but no_new_privs (and ends after it).

#include "KivDesktopBackground/PictureProtocol.h"

#include <QImage>

#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace Protocol = KivDesktopBackground::PictureProtocol;

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const bool small = std::strcmp(argv[1], "small") == 0;
    const bool unconfined = std::strcmp(argv[1], "unconfined") == 0;
    const int canvas = ::memfd_create("picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (canvas < 0 || ::ftruncate(canvas, small ? 16 : 8 * 8 * 4) != 0)
        return 1;
    if (std::strcmp(argv[1], "unsealed") != 0)
        ::fcntl(canvas, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW);
    Protocol::Answer answer;
    answer.outcome = Protocol::Outcome::picture;
    answer.width = 8;
    answer.height = 8;
    answer.bytesPerLine = 8 * 4;
    answer.format = QImage::Format_RGB32;
    if (unconfined) {
        answer.unconfined = Protocol::Unconfined::landlock | Protocol::Unconfined::seccomp;
        answer.ending = 1;
    }
    Protocol::send(STDIN_FILENO, &answer, sizeof answer, {canvas});
    ::pause();
    return 0;
}
