#pragma once

#include <QSize>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <span>

#include <sys/socket.h>
#include <unistd.h>

// What the program and its picture decoding process ("tapestrel-picture", tools/) share: the bounds
// of the pictures they handle, the size a picture is decoded to, and the records they exchange over
// the socket that is the process's standard input (a request comes with the picture's open file, a
// picture on a canvas). Both sides come from the same build, so a record is sent as it lies in memory;
// the receiver still checks every field.
//
// A canvas is a file in memory (memfd) that the program makes, sized and sealed against growing and
// shrinking, which the process draws a picture on: the program shows the picture from the canvas
// itself, without a copy. Once the picture is no longer shown, the program lends the canvas back for a
// later picture, so that neither side needs fresh pages (which cost the system about as much as
// decoding a photo). The process makes no file in memory and can grow none: every page it can fill is
// either in its address space, which its memory limit bounds, or on a canvas of the size the program
// chose and counts.
namespace KivDesktopBackground::PictureProtocol {

// Larger files are not read at all; pictures of more pixels are not decoded (it would take minutes
// and gigabytes, and no screen shows that many).
constexpr qint64 maxBytes = 256ll * 1024 * 1024;
constexpr qint64 maxPixels = qint64(1) << 28;

// A sanitizer's shadow memory takes terabytes of address space: in such a build the program watches
// the decoding process's resident memory instead of limiting its address space.
#ifdef TAPESTREL_SANITIZE
constexpr bool limitsAddressSpace = false;
#else
constexpr bool limitsAddressSpace = true;
#endif

// The smallest size with the aspect ratio of `source` that covers `target`; nothing when that size
// would have more than maxPixels pixels (a picture of 1 × 2,000,000 covers a screen only at billions of
// pixels): such a picture cannot be drawn so, and is never drawn squashed instead. (What covers several
// screens covers the widest width and the greatest height among them.)
inline std::optional<QSize> coveringSize(const QSize &source, const QSize &target)
{
    if (source.isEmpty() || target.isEmpty())
        return std::nullopt;
    const double scale =
        std::max(double(target.width()) / source.width(), double(target.height()) / source.height());
    const double width = std::ceil(source.width() * scale - 1e-6);
    const double height = std::ceil(source.height() * scale - 1e-6);
    if (width * height > double(maxPixels))
        return std::nullopt;
    // Rounding may leave it a pixel short.
    return QSize(int(width), int(height)).expandedTo(target);
}

constexpr quint32 version = 4;
// Longer reasons are cut; no reason the process gives comes near.
constexpr quint32 maxReasonBytes = 4096;
// The canvases a process may ask for while it decodes one picture: one to decode on, and one to put
// the picture on where the decoder's own result differs (a picture scaled or converted after decoding).
constexpr quint32 maxCanvasesAsked = 2;

// What a picture is decoded to. Either way the pixels come as RGB32 when the picture is opaque, else
// as premultiplied ARGB32.
enum class Fit : quint32 {
    // As large as it needs to be to cover the size with its aspect ratio kept, never larger than the
    // picture (an SVG is drawn at that size).
    cover = 1,
    // A preview within the size (a square), with the picture's orientation applied, quickly scaled
    // where the format allows.
    within = 2,
};

// Sent with the picture's open file (SCM_RIGHTS), which the process reads from its start, and possibly
// a canvas lent for the picture (then the second descriptor), which holds an earlier picture.
struct Request
{
    quint32 version = PictureProtocol::version;
    Fit fit = Fit::cover;
    qint32 width = 0;
    qint32 height = 0;
};

enum class Outcome : quint32 {
    // `height` rows of `bytesPerLine` bytes at the start of the canvas that `canvas` names: 0 the one lent
    // with the request, n the n-th the process asked for while decoding it.
    picture = 1,
    refused = 2, // the reason, `reasonBytes` of UTF-8, follows
    outOfMemory = 3, // the decoding needed more memory than the process may take
    // Not yet an answer: the process asks for a canvas of `canvasBytes`, which the program sends it
    // (CanvasGiven) before it waits for the answer again. Past the process's memory limit, or past
    // maxCanvasesAsked, the decode fails instead.
    canvasWanted = 4,
};

struct Answer
{
    quint32 version = PictureProtocol::version;
    Outcome outcome = Outcome::refused;
    qint32 width = 0;
    qint32 height = 0;
    qint32 bytesPerLine = 0;
    quint32 format = 0; // a QImage::Format
    quint32 reasonBytes = 0;
    quint32 ending = 0; // 1: the process ends after this answer
    quint32 unconfined = 0; // what the process could not confine itself with (Unconfined), in every answer
    quint32 canvas = 0;
    quint64 canvasBytes = 0;
};

// Sent with a canvas the process asked for (SCM_RIGHTS): its size, at least the size asked for. A new
// canvas holds nothing yet: every byte of it is 0.
struct CanvasGiven
{
    quint32 version = PictureProtocol::version;
    quint32 reserved = 0;
    quint64 bytes = 0;
};

// The means of confinement that a kernel may lack, as bits of Answer::unconfined.
namespace Unconfined {
constexpr quint32 noNewPrivileges = 1;
constexpr quint32 landlock = 2;
constexpr quint32 seccomp = 4;
constexpr quint32 userNamespace = 8;
} // namespace Unconfined

// A record and room for the descriptors that travel with it, as sendmsg() and recvmsg() take them.
struct Envelope
{
    Envelope(void *data, size_t size)
        : bytes {data, size}
    {
        message.msg_iov = &bytes;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    Envelope(const Envelope &) = delete;
    Envelope &operator=(const Envelope &) = delete;

    iovec bytes;
    static constexpr size_t maxDescriptors = 2;
    alignas(cmsghdr) char control[CMSG_SPACE(maxDescriptors * sizeof(int))] = {};
    msghdr message {};
};

// Sends a record (a few bytes, which a socket takes at once) and with it `descriptors` (those of -1
// left out).
inline bool send(int socket, const void *data, size_t size, std::initializer_list<int> descriptors)
{
    Envelope envelope(const_cast<void *>(data), size);
    int sent[Envelope::maxDescriptors];
    size_t count = 0;
    for (const int descriptor : descriptors) {
        if (descriptor >= 0 && count < Envelope::maxDescriptors)
            sent[count++] = descriptor;
    }
    if (count > 0) {
        cmsghdr *rights = CMSG_FIRSTHDR(&envelope.message);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(count * sizeof(int));
        std::memcpy(CMSG_DATA(rights), sent, count * sizeof(int));
        envelope.message.msg_controllen = CMSG_SPACE(count * sizeof(int));
    } else {
        envelope.message.msg_control = nullptr;
        envelope.message.msg_controllen = 0;
    }
    ssize_t done;
    while ((done = ::sendmsg(socket, &envelope.message, MSG_NOSIGNAL)) < 0 && errno == EINTR) { }
    return done == ssize_t(size);
}

// Receives a record of `size` bytes, waiting for all of it (with `flags` MSG_DONTWAIT: what has come
// of it), and the descriptors sent with it into those of `descriptors` that are still -1, in order;
// any further descriptor is closed. Gives the bytes received, as recv() does.
inline ssize_t receive(int socket, void *data, size_t size, std::span<int> descriptors,
                       int flags = MSG_WAITALL)
{
    Envelope envelope(data, size);
    ssize_t got;
    while ((got = ::recvmsg(socket, &envelope.message, flags | MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) { }
    for (cmsghdr *rights = got > 0 ? CMSG_FIRSTHDR(&envelope.message) : nullptr; rights;
         rights = CMSG_NXTHDR(&envelope.message, rights)) {
        if (rights->cmsg_level != SOL_SOCKET || rights->cmsg_type != SCM_RIGHTS)
            continue;
        for (size_t at = 0; CMSG_LEN(at + sizeof(int)) <= rights->cmsg_len; at += sizeof(int)) {
            int received;
            std::memcpy(&received, CMSG_DATA(rights) + at, sizeof(int));
            const auto free = std::find(descriptors.begin(), descriptors.end(), -1);
            if (free != descriptors.end())
                *free = received;
            else
                ::close(received);
        }
    }
    return got;
}

} // namespace KivDesktopBackground::PictureProtocol
