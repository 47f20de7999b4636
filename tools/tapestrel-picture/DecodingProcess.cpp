#include "DecodingProcess.h"

#include "Canvases.h"
#include "Confinement.h"
#include "OutOfMemory.h"
#include "PictureReader.h"

#include "KivDesktopBackground/PictureProtocol.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
#include <vector>

#ifdef TAPESTREL_SANITIZE
#include <sanitizer/lsan_interface.h>
#endif

namespace Protocol = KivDesktopBackground::PictureProtocol;

#ifdef TAPESTREL_SANITIZE
// What the libraries that decoding loads keep for the life of the process, so that a leak of the
// process's own stands out.
extern "C" const char *__lsan_default_suppressions()
{
    // The font configuration's cache of a font's names.
    return "leak:libfontconfig\n";
}
#endif

namespace {

constexpr int channel = STDIN_FILENO;
// Set while a picture is decoded: a decoder's warning or a failed allocation then ends the decode.
std::atomic<bool> g_decoding = false;
// Set while the SVG renderer draws a document that the reader has read whole and written anew: what it
// says then is of its own limits (a text longer than it lays out), never of damage.
std::atomic<bool> g_drawingDocument = false;
Canvases g_canvases {channel};
// What the kernel could not refuse the process, told with every answer.
quint32 g_unconfined = 0;
DecodingProcess::Probing::Look g_look = nullptr;
// What the process may take: a decode that will need more is refused before it takes it.
qint64 g_memoryBytes = 0;

// Ends the process where it stands. _exit() runs no leak check of its own: the sanitizer build checks
// here, so that it checks however the process ends.
[[noreturn]] void endNow()
{
#ifdef TAPESTREL_SANITIZE
    __lsan_do_leak_check();
#endif
    ::_exit(0);
}

bool writeAll(const void *data, size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::send(channel, bytes, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

bool answerRefusal(const QString &reason, bool ending)
{
    const QByteArray text = reason.toUtf8().left(Protocol::maxReasonBytes);
    Protocol::Answer answer;
    answer.outcome = Protocol::Outcome::refused;
    answer.reasonBytes = quint32(text.size());
    answer.ending = ending;
    answer.unconfined = g_unconfined;
    return writeAll(&answer, sizeof answer) && writeAll(text.constData(), size_t(text.size()));
}

// The answer to a decode that needed more memory than the process may take; it ends the process.
void answerOutOfMemory()
{
    Protocol::Answer answer;
    answer.outcome = Protocol::Outcome::outOfMemory;
    answer.ending = 1;
    answer.unconfined = g_unconfined;
    writeAll(&answer, sizeof answer);
}

// Answers with the picture, put on a canvas unless it was decoded on one. False when the process is to
// end.
bool answerPicture(const QImage &image)
{
    const auto bytes = size_t(image.sizeInBytes());
    if (image.constBits() != g_canvases.data()) {
        uchar *canvas = g_canvases.reserve(bytes, false);
        if (!canvas) {
            answerOutOfMemory();
            return false;
        }
        std::memcpy(canvas, image.constBits(), bytes);
    }
    Protocol::Answer answer;
    answer.outcome = Protocol::Outcome::picture;
    answer.width = image.width();
    answer.height = image.height();
    answer.bytesPerLine = int(image.bytesPerLine());
    answer.format = quint32(image.format());
    answer.unconfined = g_unconfined;
    answer.canvas = g_canvases.chosen();
    return writeAll(&answer, sizeof answer);
}

// Whether a decoder's message says that the picture's data is damaged or missing: libjpeg, say, only
// warns of a cut or corrupt file and fills what is missing with grey.
bool tellsOfDamage(const QString &message)
{
    // The SVG renderer draws a path up to an error in its data, as every reader of SVG does.
    if (message.startsWith(QLatin1String("Invalid path data;")))
        return false;
    static const char *const signs[] = {"corrupt", "premature end", "truncated", "invalid sos parameters",
                                        "inconsistent progression sequence"};
    return std::any_of(std::begin(signs), std::end(signs), [&message](const char *sign) {
        return message.contains(QLatin1String(sign), Qt::CaseInsensitive);
    });
}

// Every message of Qt and its image plugins lands here; none reaches the program's output. One that
// tells of damage ends the decode where it stands.
void onMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (!g_decoding || g_drawingDocument || !tellsOfDamage(message))
        return;
    g_decoding = false;
    answerRefusal(PictureReader::damagedReason(), true);
    endNow();
}

// The next request and the picture's descriptor (the canvas lent with it goes to g_canvases); false
// when the program has closed the socket or sent what is no request.
bool receive(Protocol::Request &request, int &descriptor)
{
    int descriptors[] = {-1, -1};
    const ssize_t got = Protocol::receive(channel, &request, sizeof request, descriptors);
    descriptor = descriptors[0];
    g_canvases.lend(descriptors[1]);
    const bool valid = got == ssize_t(sizeof request) && descriptor >= 0
        && request.version == Protocol::version
        && (request.fit == Protocol::Fit::cover || request.fit == Protocol::Fit::within) && request.width > 0
        && request.height > 0;
    if (!valid && descriptor >= 0)
        ::close(descriptor);
    return valid;
}

PictureReader::Result decode(const Protocol::Request &request, int descriptor)
{
    // The open file is the program's too: read from its beginning, whatever was read of it before.
    ::lseek(descriptor, 0, SEEK_SET);
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return {{}, file.errorString()};
    }
    const auto onCanvas = [](bool cleared) -> PictureReader::Memory {
        return [cleared](qsizetype bytes) {
            return g_canvases.reserve(size_t(bytes), cleared);
        };
    };
    if (g_look) {
        if (std::optional<PictureReader::Result> answer = g_look(file, onCanvas(true)))
            return std::move(*answer);
    }
    PictureReader reader(&file, g_memoryBytes);
    // A decoder that draws on a canvas draws over what it held before: the canvas is cleared first
    // unless the format's decoder writes every pixel of a picture it returns or fails (a JPEG's and a
    // PNG's rows, an SVG's renderer, which fills its picture first). Clearing costs about a tenth of
    // decoding a photo.
    static const QByteArrayList everyPixelWritten {"jpeg", "png", "svg"};
    const PictureReader::Memory canvas = onCanvas(!everyPixelWritten.contains(reader.format()));
    g_drawingDocument = reader.format() == "svg";
    PictureReader::Result result = request.fit == Protocol::Fit::cover
        ? reader.covering(QSize(request.width, request.height), canvas)
        : reader.fitting(request.width, canvas);
    g_drawingDocument = false;
    return result;
}

// False when the process is to end.
bool decodeAndAnswer(const Protocol::Request &request, int descriptor, unsigned alarmSeconds)
{
    ::alarm(alarmSeconds);
    g_decoding = true;
    const PictureReader::Result result = decode(request, descriptor);
    g_decoding = false;
    ::alarm(0);
    if (result.needsMoreMemory) {
        answerOutOfMemory();
        return false;
    }
    return result.failure ? answerRefusal(*result.failure, false) : answerPicture(result.image);
}

void limitAtStart()
{
    // No core file of a decoder that crashed on a hostile picture.
    const rlimit none {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    // No byte written into a file by write() and its kind, neither into one it opens nor into a canvas:
    // a canvas is drawn on through its mapping, which the address space counts. The write fails
    // (rather than end the process) and nothing is written.
    ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &none);
    // Each thread would otherwise get a pool of its own that takes 64 MiB of address space: Qt scales
    // a large picture on all cores, and the next picture would find the limit taken.
    if (Protocol::limitsAddressSpace)
        ::mallopt(M_ARENA_MAX, 1);
}

// Bounds what a decode takes: once the process has loaded what decoding needs (Qt, its plugins and the
// libraries they link to, some 90 MB of addresses that are files, not memory a picture can fill), its
// address space may grow by `bytes` and no more.
void limitAddressSpace(rlim_t bytes)
{
    if (!Protocol::limitsAddressSpace)
        return;
    QFile status(QStringLiteral("/proc/self/status"));
    rlim_t loaded = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmSize:"))
                loaded = rlim_t(line.mid(7).trimmed().split(' ').value(0).toULongLong()) << 10;
        }
    }
    const rlimit limit {loaded + bytes, loaded + bytes};
    ::setrlimit(RLIMIT_AS, &limit);
}

// What the kernel keeps for the process outside its address space is bounded with it: a pipe holds
// pages of its own (up to 64 KiB) for as long as a descriptor keeps it open, so the process may hold no
// more descriptors than a decode needs. Nor can it raise any limit again: each hard limit is lowered to
// the limit in force, and raising one past that takes a capability the process does not hold.
void limitKernelResources()
{
    constexpr rlim_t descriptors = 32;
    const rlimit open {descriptors, descriptors};
    ::setrlimit(RLIMIT_NOFILE, &open);
    for (int resource = 0; resource < RLIM_NLIMITS; ++resource) {
        const auto which = __rlimit_resource(resource);
        rlimit limit {};
        if (::getrlimit(which, &limit) == 0 && limit.rlim_max != limit.rlim_cur) {
            limit.rlim_max = limit.rlim_cur;
            ::setrlimit(which, &limit);
        }
    }
}

// Waits until the program's end of the socket closes, then ends the process.
void endWithProgram()
{
    pollfd channelEnd {channel, POLLRDHUP, 0};
    while (::poll(&channelEnd, 1, -1) < 0 && errno == EINTR) { }
    endNow();
}

// The user's own fonts lie below the home folder, where the font configuration looks for them: where
// the program does not tell it (an absolute path), it is the user's as the system records it.
void knowHome()
{
    if (QDir::isAbsolutePath(qEnvironmentVariable("HOME")))
        return;
    passwd entry {};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        qputenv("HOME", found->pw_dir);
}

// Confines the process (see Confinement), which is still the only thread: the kernel confines only
// the thread that asks and those it starts later. Gives what could not be refused.
quint32 confineAlone(const DecodingProcess::Probing &probing)
{
    std::error_code error;
    const auto threads = std::distance(std::filesystem::directory_iterator("/proc/self/task", error),
                                       std::filesystem::directory_iterator());
    const quint32 unconfined = Confinement::confine(Confinement::decodersFolders(),
                                                    probing.landlockVersionAtMost, probing.unaddableRule);
    return threads == 1 ? unconfined : unconfined | Protocol::Unconfined::landlock;
}

} // namespace

void OutOfMemory::allocationFailed() noexcept
{
    if (!g_decoding.exchange(false))
        return;
    // Nothing may be allocated here: the answer is made on the stack.
    answerOutOfMemory();
    endNow();
}

int DecodingProcess::run(int argc, char **argv, const Probing &probing)
{
    g_look = probing.look;
    // Nothing but the socket is kept from the program.
    ::close_range(STDERR_FILENO + 1, ~0U, 0);
    rlim_t memory = 0;
    unsigned alarmSeconds = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--memory") == 0)
            memory = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--alarm") == 0)
            alarmSeconds = unsigned(std::strtoul(argv[i + 1], nullptr, 10));
    }
    if (memory == 0 || alarmSeconds == 0)
        return 2;
    g_memoryBytes = qint64(memory);
    // Whatever the program was doing, a process it does not ask for anything ends.
    ::alarm(alarmSeconds);
    limitAtStart();

    qInstallMessageHandler(onMessage);
    // Fonts (an SVG's text) need a GUI application; it shows nothing.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    knowHome();
    QGuiApplication application(argc, argv);
    // The process's own memory limit bounds what a decode takes.
    QImageReader::setAllocationLimit(0);
    // Loads every image format's plugin (and what it links to) while files may still be opened: a Qt
    // of the program's own may keep them where the confined process may not read.
    QImageReader::supportedImageFormats();
    limitAddressSpace(memory);
    limitKernelResources();
    g_unconfined = confineAlone(probing);
    // Started confined: it ends the process once the program is gone, however it ended (the kernel
    // closes a killed program's end too), also in the middle of a decode.
    std::thread(endWithProgram).detach();

    Protocol::Request request;
    int descriptor = -1;
    while (receive(request, descriptor)) {
        ::alarm(0);
        if (!decodeAndAnswer(request, descriptor, alarmSeconds))
            return 0;
        g_canvases.finish();
        ::alarm(alarmSeconds);
    }
    return 0;
}
