// The decoding process on its own, as the program runs it (a socket as its standard input), and the
// reader it decodes with, in the tests' own process.

#include "KivDesktopBackground/Canvas.h"
#include "KivDesktopBackground/DecodingProcesses.h"
#include "KivDesktopBackground/PictureProtocol.h"
#include "KivDesktopBackground/SpareCanvases.h"
#include "KivDesktopBackground/UserFonts.h"
#include "testsupport/BrokenPictures.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/Deflated.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/RunTask.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

#include "PictureReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <thread>

#include <pwd.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

extern char **environ;

using namespace std::chrono_literals;
namespace Protocol = KivDesktopBackground::PictureProtocol;
using KivDesktopBackground::Canvas;
namespace Broken = TestSupport::BrokenPictures;

namespace {

// What an ordinary user runs as: the suite runs as root in CI, where the kernel lets through what it
// refuses to users.
constexpr uid_t ordinaryUser = 65534;

// A command that runs a program as an ordinary user, as the child of a shell of that user (which
// stands in for the program, whose settings the kernel would let a process of its user change);
// nothing when the tests run as an ordinary user already.
QStringList asOrdinaryUser()
{
    if (::geteuid() != 0)
        return {};
    const QString user = QString::number(ordinaryUser);
    return {"/usr/bin/setpriv",
            "--reuid=" + user,
            "--regid=" + user,
            "--clear-groups",
            "--",
            "/bin/sh",
            "-c",
            "\"$0\" \"$@\"; exit $?"};
}

// One answer of the process.
struct Reply
{
    bool answered = false;
    Protocol::Answer answer;
    QString reason;
    QImage image; // a copy of the canvas
    QRgb middle = 0;
    int canvas = -1; // the canvas it came on, to lend for a later picture
};

// A decoding process and the tests' end of its socket; the canvases it asks for are made here, as the
// program makes them, and kept while it lives.
class Process
{
public:
    // Started here, `command` in front of it (a program that runs it), with a socket as its standard
    // input and a pipe as its standard output and error, as the program gives it.
    Process(QStringList command, const char *tool, int alarmSeconds, qint64 memory = qint64(1) << 30,
            const QStringList &switches = {})
    {
        command << QCoreApplication::applicationDirPath() + '/' + tool << switches << "--memory"
                << QString::number(memory) << "--alarm" << QString::number(alarmSeconds);
        int sockets[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
        m_socket = sockets[0];
        int output[2];
        EXPECT_EQ(::pipe2(output, O_CLOEXEC), 0);
        m_output = output[0];
        ::fcntl(m_output, F_SETFL, O_NONBLOCK);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, sockets[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
        std::vector<QByteArray> arguments;
        std::vector<char *> pointers;
        for (const QString &argument : command)
            arguments.push_back(QFile::encodeName(argument));
        for (QByteArray &argument : arguments)
            pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&m_pid, pointers[0], &actions, nullptr, pointers.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(sockets[1]);
        ::close(output[1]);
    }
    // Started as the program starts it, decoding as `tool` does.
    Process(const char *tool, qint64 memory)
    {
        m_tool.emplace("TAPESTREL_PICTURE_TOOL",
                       QFile::encodeName(QCoreApplication::applicationDirPath() + '/' + tool));
        m_processes.emplace(KivDesktopBackground::DecoderLimits {memory, 20s}, m_spares);
        bool idle = false;
        QString why;
        m_started = m_processes->take(&idle, &why);
        EXPECT_TRUE(m_started) << why.toStdString();
        m_socket = m_started ? m_started->socket : -1;
    }
    ~Process()
    {
        if (m_started) {
            m_processes->end(*m_started);
            m_socket = -1;
        }
        closeSocket();
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (const Canvas &canvas : m_canvases)
            canvas.release();
        // What it said that no test looked at (a sanitizer's report, say) is shown.
        const QByteArray rest = said();
        std::fwrite(rest.constData(), 1, size_t(rest.size()), stderr);
        ::close(m_output);
    }

    // What it has written on its standard output and error since the last call.
    QByteArray said()
    {
        QByteArray text;
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(m_output, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
            text.append(buffer, std::max<ssize_t>(got, 0));
        return text;
    }

    // Asks for the picture in `path` to cover 64 × 36 pixels (or as `fit` and `size` say), lending the
    // process canvas `lent` (-1: none), as the program does.
    Reply ask(const QString &path, Protocol::Fit fit = Protocol::Fit::cover, QSize size = QSize(64, 36),
              int lent = -1)
    {
        QFile picture(path);
        EXPECT_TRUE(picture.open(QIODevice::ReadOnly)) << path.toStdString();
        const Protocol::Request request {Protocol::version, fit, size.width(), size.height()};
        EXPECT_TRUE(Protocol::send(m_socket, &request, sizeof request, {picture.handle(), lent}));
        Reply reply;
        std::vector<int> given;
        Protocol::Answer &answer = reply.answer;
        while ((reply.answered =
                    Protocol::receive(m_socket, &answer, sizeof answer, {}) == ssize_t(sizeof answer))
               && answer.outcome == Protocol::Outcome::canvasWanted) {
            const std::optional<Canvas> canvas = Canvas::make(size_t(answer.canvasBytes), 0);
            const Protocol::CanvasGiven sent {Protocol::version, 0, answer.canvasBytes};
            EXPECT_TRUE(canvas && Protocol::send(m_socket, &sent, sizeof sent, {canvas->file}));
            m_canvases.push_back(canvas.value_or(Canvas {}));
            given.push_back(m_canvases.back().file);
        }
        if (reply.answered && answer.outcome == Protocol::Outcome::picture)
            reply.canvas = answer.canvas == 0 ? lent : given.at(answer.canvas - 1);
        if (reply.canvas >= 0) {
            const size_t bytes = size_t(answer.bytesPerLine) * size_t(answer.height);
            void *pixels = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, reply.canvas, 0);
            if (pixels != MAP_FAILED && answer.bytesPerLine >= answer.width * 4) {
                reply.image = QImage(static_cast<const uchar *>(pixels), answer.width, answer.height,
                                     answer.bytesPerLine, QImage::Format(answer.format))
                                  .copy();
                ::munmap(pixels, bytes);
            }
        }
        if (reply.image.size() == QSize(64, 36))
            reply.middle = reply.image.pixel(32, 18);
        QByteArray reason(int(std::min(answer.reasonBytes, Protocol::maxReasonBytes)), '\0');
        if (reply.answered && !reason.isEmpty()) {
            EXPECT_EQ(::recv(m_socket, reason.data(), size_t(reason.size()), MSG_WAITALL), reason.size());
        }
        reply.reason = QString::fromUtf8(reason);
        return reply;
    }
    // Asks for a picture in `picture` (an open file) and waits for no answer.
    void send(int picture)
    {
        const Protocol::Request request {Protocol::version, Protocol::Fit::cover, 8, 8};
        EXPECT_TRUE(Protocol::send(m_socket, &request, sizeof request, {picture}));
    }
    void closeSocket()
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
    }
    // The lines of the process's status (/proc) that start with `field`.
    QByteArray status(const QByteArray &field) const
    {
        QFile file(QStringLiteral("/proc/%1/status").arg(m_pid));
        file.open(QIODevice::ReadOnly);
        QByteArray lines;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith(field))
                lines += line.simplified() + '\n';
        }
        return lines;
    }
    struct End
    {
        std::chrono::milliseconds took;
        int signal = 0; // 0: none
        int status = -1; // its exit status, where no signal ended it
    };
    // How long the process took to end from now and how it ended; at most `limit`.
    End ending(std::chrono::milliseconds limit)
    {
        QElapsedTimer clock;
        clock.start();
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0 && clock.elapsed() < limit.count())
            std::this_thread::sleep_for(10ms);
        m_pid = 0;
        return {std::chrono::milliseconds(clock.elapsed()), WIFSIGNALED(status) ? WTERMSIG(status) : 0,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }

private:
    std::optional<TestSupport::ScopedVariable> m_tool;
    KivDesktopBackground::SpareCanvases m_spares;
    std::optional<KivDesktopBackground::DecodingProcesses> m_processes;
    std::optional<KivDesktopBackground::DecodingProcesses::Process> m_started;
    pid_t m_pid = 0;
    int m_socket = -1;
    int m_output = -1;
    std::vector<Canvas> m_canvases;
};

// The temporary home is the home of the processes the tests start: the user's fonts lie below it.
class PictureProcessTest : public TestSupport::TempHomeTest
{
protected:
    TestSupport::ScopedVariable m_home {"HOME", QFile::encodeName(home.path())};
    TestSupport::ScopedVariable m_dataHome {"XDG_DATA_HOME",
                                            QFile::encodeName(home.filePath(".local/share"))};
    TestSupport::ScopedVariable m_cacheHome {"XDG_CACHE_HOME", QFile::encodeName(home.filePath(".cache"))};

    // Run as root, the program keeps the cache of the user's fonts in the system's cache folder: none is
    // left of the home that goes.
    ~PictureProcessTest() override
    {
        for (const QString &folder : KivDesktopBackground::UserFonts::folders()) {
            const QByteArray digest =
                QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Md5).toHex();
            for (const QString &cache : QDir("/var/cache/fontconfig").entryList({digest + "-*"}, QDir::Files))
                QFile::remove("/var/cache/fontconfig/" + cache);
        }
    }

    // Writes `bytes` below the home and gives the file's path.
    QString put(const QString &name, const QByteArray &bytes) const
    {
        home.writeFile(name, bytes);
        return home.filePath(name);
    }
};

} // namespace

// Once started, the process can open no file by name but for reading below the folders decoders read
// (of a data folder, its fonts alone; the user's font cache it reads), connect to no socket (the session
// bus is one), signal nobody (its process group neither), type into no terminal, change no file's
// metadata, reach no setting of the program, share no memory, start no process or namespace, and make
// no call that no decode makes; it holds no privilege, run as an ordinary user as users run it, or as
// root, also where the kernel refused it no_new_privs. Where Landlock is missing or too old to know every
// right, the filter alone still opens nothing for writing, creating or emptying (a font it may read,
// the program's memory) and refuses signals to the program. It makes no file in memory, grows no canvas
// and fills no pipes to hold pages past its limit, and raises no limit of its own. Where the kernel
// lacks a means, each answer says so; a rule the filter cannot hold is said on standard error.
TEST_F(PictureProcessTest, OnceStartedItReachesNothing)
{
    home.writeFile("picture.png", Broken::picture(QSize(8, 8), Qt::red));
    const QString fonts = home.filePath(".local/share/fonts");
    ASSERT_TRUE(QDir().mkpath(fonts));
    // A socket that takes connections, as the session bus's does.
    const int bus = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(home.filePath("bus")).constData(),
                 sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(bus, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(bus, 8), 0);
    const int sharedMemory = ::shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0666);
    ASSERT_GE(sharedMemory, 0);
    const bool root = ::geteuid() == 0;
    const TestSupport::ScopedVariable cache("XDG_CACHE_HOME", QFile::encodeName(home.filePath(".cache")));
    // What the ordinary user may do where nothing confines it: its files, a folder it writes in, a font
    // it may write; and the font cache it is to read.
    const auto prepare = [&] {
        home.writeFile("readable.png", "a file anybody may read");
        home.writeFile("users.png", "a file of the user");
        home.writeFile(".local/share/beside.txt", "beside the fonts");
        home.writeFile(".local/share/fonts/font.ttf", "a font");
        home.writeFile(".cache/fontconfig/fonts.cache-8", "the fonts' cache");
        if (!root)
            return;
        for (const QString &path : {home.path(), home.filePath(".local"), home.filePath(".local/share"),
                                    home.filePath(".cache"), home.filePath(".cache/fontconfig")})
            ::chmod(QFile::encodeName(path).constData(), 0755);
        for (const QString &path :
             {fonts, home.filePath("bus"), home.filePath(".local/share/fonts/font.ttf")})
            ::chmod(QFile::encodeName(path).constData(), 0777);
        ::chown(QFile::encodeName(home.filePath("users.png")).constData(), ordinaryUser, ordinaryUser);
    };
    const qint64 limit = qint64(64) << 20;
    const QList<QString> lines {"probe",
                                home.filePath("readable.png"),
                                home.filePath(".local/share/beside.txt"),
                                home.filePath("bus"),
                                fonts,
                                home.filePath("users.png"),
                                home.filePath(".local/share/fonts/font.ttf"),
                                QString::number(sharedMemory),
                                QString::number(limit),
                                home.filePath(".cache/fontconfig/fonts.cache-8")};
    home.writeFile("probe", QFile::encodeName(lines.join('\n')) + '\n');
    home.writeFile("probe 32-bit", "probe 32-bit\n");
    const QString without = QCoreApplication::applicationDirPath() + "/kernel-without";
    const QStringList user = asOrdinaryUser();
    const QStringList landlock2 {"--landlock-at-most", "2"};
    const QStringList noLandlock {without, "landlock"};
    const QStringList noSeccomp {without, "seccomp"};
    const QStringList noNoNewPrivs {without, "no_new_privs"};
    const char *const readable = "the file, the data folder";
    using namespace Protocol::Unconfined;
    const struct
    {
        const char *situation;
        QStringList command;
        const char *probe;
        const char *reached; // all of what it reached, in order; null: not looked at
        quint32 unconfined;
        QStringList switches = {};
        QByteArray said = {};
    } cases[] = {
        {"as a user", user, "probe", "nothing", 0},
        {"as root", {}, "probe", "nothing", 0},
        {"as a user, a 32-bit socket", user, "probe 32-bit", "nothing", 0},
        {"as root, no Landlock", noLandlock, "probe", readable, landlock},
        {"as a user, no Landlock", user + noLandlock, "probe", readable, landlock},
        {"as a user, no Landlock, no user namespace",
         user + noLandlock + QStringList {without, "user_namespaces"}, "probe",
         "the file, the data folder, the program's memory", landlock | userNamespace},
        {"as root, Landlock 2", {}, "probe", "nothing", 0, landlock2},
        {"as a user, Landlock 2", user, "probe", "nothing", 0, landlock2},
        {"as a user, no seccomp", user + noSeccomp, "probe",
         "the socket, the terminal, its mode, its owner, its times, its attributes, the program's process "
         "group, the program's signals, the program's limits, the program's priority, the program's "
         "scheduling, the program's processors, new shared memory, the shared memory, a child, a user "
         "namespace, a program, a prctl() option, a file in memory, pipes holding more than 4 MiB, a call no "
         "decode makes",
         seccomp},
        {"no seccomp, a 32-bit socket", noSeccomp, "probe 32-bit", "a socket", seccomp},
        // Nothing confines it: what it reaches is the machine's to say.
        {"no no_new_privs", noNoNewPrivs, "probe", nullptr, noNewPrivileges | landlock | seccomp},
        {"as root, a rule the filter cannot add",
         {},
         "probe",
         "nothing",
         0,
         {"--unaddable-rule"},
         "tapestrel-picture: the system-call filter lacks a rule for uname (Invalid argument)\n"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.situation);
        if (QByteArray(test.situation).startsWith("as root") && !root)
            continue;
        prepare();
        Process process(test.command, "tapestrel-picture-probe", 20, limit, test.switches);
        const Reply reply = process.ask(home.filePath(test.probe));
        // A call of another architecture ends the process without an answer, having reached nothing (a
        // shell tells of the signal in its status); nothing else does.
        if (!reply.answered) {
            EXPECT_EQ(test.probe + QByteArray(": ") + test.reached, "probe 32-bit: nothing");
            const Process::End end = process.ending(5s);
            EXPECT_TRUE(end.signal != 0 || end.status > 128);
            continue;
        }
        EXPECT_EQ(reply.answer.outcome, Protocol::Outcome::refused);
        EXPECT_EQ(reply.answer.unconfined, test.unconfined);
        if (test.reached) {
            EXPECT_EQ(reply.reason, test.reached);
        }
        EXPECT_EQ(process.said(), test.said);
        // Every answer tells it, a picture's too.
        const Reply drawn = process.ask(home.filePath("picture.png"));
        EXPECT_EQ(drawn.answer.outcome, Protocol::Outcome::picture);
        EXPECT_EQ(drawn.answer.unconfined, test.unconfined);
        // The shell's child is the process where it runs as a user.
        if (!user.isEmpty() && test.command.startsWith(user[0]))
            continue;
        EXPECT_EQ(process.status("NoNewPrivs"), "NoNewPrivs: 1\n");
        // A user keeps the bounding set (no_new_privs makes it useless): only root may empty it. Every
        // capability goes whatever the kernel refused before.
        for (const QByteArray field : {"CapInh", "CapPrm", "CapEff", "CapAmb", "CapBnd"}) {
            if (field != "CapBnd" || root) {
                EXPECT_EQ(process.status(field), field + ": 0000000000000000\n");
            }
        }
    }
    ::shmctl(sharedMemory, IPC_RMID, nullptr);
    ::close(bus);
}

// The process ends on its own when nobody asks it for anything, when a decode outlives its alarm (the
// program gone, or stuck), and at once when the program's end of its socket closes, however the
// program ended. However it ends on its own, the sanitizer build checks it for leaks first.
TEST_F(PictureProcessTest, ItEndsWhenTheProgramIsGoneOrSilent)
{
    const QString picture = put("picture.png", Broken::picture(QSize(8, 8), Qt::red));
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    // What it is asked for: nothing, a picture it answers, or one whose reading never ends (a pipe
    // nobody writes to).
    enum { nothing, answered, endless };
    const struct
    {
        const char *situation;
        int alarm;
        int asked;
        bool socketClosed;
        int signal;
    } cases[] = {
        {"never asked", 1, nothing, false, SIGALRM},
        {"idle after a picture", 1, answered, false, SIGALRM},
        {"decoding", 1, endless, false, SIGALRM},
        {"decoding, the program gone", 30, endless, true, 0},
        {"idle, the program gone", 30, answered, true, 0},
    };
    const TestSupport::ScopedVariable leakCheck("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":detect_leaks=1");
    for (const auto &test : cases) {
        SCOPED_TRACE(test.situation);
        Process process({}, "tapestrel-picture", test.alarm);
        if (test.asked == answered)
            EXPECT_EQ(process.ask(picture).answer.outcome, Protocol::Outcome::picture);
        else if (test.asked == endless)
            process.send(pipe[0]);
        // Past its start, which the alarm bounds too.
        std::this_thread::sleep_for(300ms);
        if (test.socketClosed)
            process.closeSocket();
        // Far from both what each takes and a process that waits for nothing but its 30 s alarm.
        const Process::End end = process.ending(25s);
        EXPECT_LT(end.took, 10s);
        EXPECT_EQ(end.signal, test.signal);
        if (test.signal == 0) {
            EXPECT_EQ(end.status, 0);
        }
    }
    ::close(pipe[0]);
    ::close(pipe[1]);
#ifdef TAPESTREL_SANITIZE
    // The check finds a leak of the process's own, also where it ends as its socket closes.
    Process leaking({}, "tapestrel-picture-probe", 30);
    EXPECT_EQ(leaking.ask(put("leak", "probe leak\n")).reason, "leaked");
    leaking.closeSocket();
    const Process::End end = leaking.ending(5s);
    EXPECT_TRUE(end.signal != 0 || end.status > 0);
#endif
}

// Where the kernel does not confine the process, the filter alone keeps an SVG from reaching what it
// names, however the document is written: the renderer reads what the filter read. What it holds as
// data it draws, at the size shown, a path up to an error in its data. A document nested too deep is
// refused, naming the bound.
TEST_F(PictureProcessTest, WithoutTheKernelAnSvgDrawsWhatItHoldsAndNoFileItNames)
{
    // A picture only its owner may read, a pipe, and a file that a path after "#" names, relative to the
    // process's folder.
    const QString secret = put("secret.png", Broken::picture(QSize(16, 9), Qt::red));
    QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner);
    home.writeFile("#/a/path", Broken::picture(QSize(16, 9), Qt::red));
    const QString pipe = home.filePath("pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    const QSize size(16, 9);
    const auto image = [size](QColor colour, const QString &href) {
        return Broken::svgWithImage(size, colour, href);
    };
    const auto holding = [&image](const QByteArray &svg) {
        return image(Qt::blue, Broken::svgData(svg));
    };
    const auto nested = [&image](int depth) {
        QByteArray svg = image(Qt::red, {});
        for (int level = 1; level < depth; ++level)
            svg = image(Qt::green, Broken::svgData(svg));
        return image(Qt::blue, Broken::svgData(svg));
    };
    // The red shape `groups` groups deep.
    const auto grouped = [size](int groups) {
        return Broken::svgWithUse(size, Qt::blue, "part", Qt::red)
            .replace("<defs>", "<defs>" + QByteArray("<g>").repeated(groups))
            .replace("</defs>", QByteArray("</g>").repeated(groups) + "</defs>");
    };
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const QString data =
        "data:image/png;base64," + QString::fromLatin1(home.readFile("secret.png").toBase64());
    const QByteArray namesSecret = image(Qt::green, secret);
    const QByteArray namesPipe = image(Qt::green, pipe);
    const QString deeper = "its elements are nested deeper than 1000 levels";
    const struct
    {
        QByteArray svg;
        QRgb drawn;
        QString reason = {};
    } cases[] = {
        {image(Qt::blue, secret), blue},
        {image(Qt::blue, QUrl::fromLocalFile(secret).toString()), blue},
        {image(Qt::blue, "secret.png"), blue},
        {image(Qt::blue, "#/a/path"), blue},
        {image(Qt::blue, pipe), blue},
        {image(Qt::blue, data), red},
        {holding(image(Qt::green, data)), red},
        {holding(namesSecret), green},
        {holding(holding(namesSecret)), green},
        {holding(namesPipe), green},
        {Broken::svgWithLink(size, Qt::blue, "https://example.com/"), blue},
        {Broken::svgWithBadPath(size, Qt::blue, Qt::green), green},
        {Broken::inEncoding(namesSecret, "UTF-7"), green},
        {Broken::inEncoding(namesPipe, "IBM037"), green},
        {holding(Broken::inEncoding(namesSecret, "IBM037")), green},
        {holding(Broken::inEncoding(namesPipe, "UTF-7")), green},
        {Broken::svgWithEntity(size, Qt::blue, secret), blue},
        {Broken::svgWithEntity(size, Qt::blue, pipe), blue},
        // A path after "#" is no part of the document, even where an element has that id.
        {Broken::svgWithUse(size, Qt::blue, "part", Qt::red), red},
        {Broken::svgWithUse(size, Qt::blue, "/a/path", Qt::red), blue},
        // SVGs held in SVGs, the red one that deep.
        {nested(8), red},
        {nested(9), green},
        // An encoding the reader cannot decode: refused.
        {Broken::inEncoding(namesSecret, "x-unknown"), 0},
        // A style sheet's instruction that names a pipe is left out.
        {"<?xml-stylesheet type=\"text/css\" href=\"" + QFile::encodeName(pipe) + "\"?>"
             + Broken::svgWithUse(size, Qt::blue, "part", Qt::red),
         red},
        // The shape in the <svg>, <defs>, the groups and its own element.
        {grouped(997), red},
        {grouped(998), 0, deeper},
        {grouped(100000), 0, deeper},
    };
    // Started in the folder that holds "#/a/path".
    const QString folder = QDir::currentPath();
    QDir::setCurrent(home.path());
    Process process({QCoreApplication::applicationDirPath() + "/kernel-without", "landlock"},
                    "tapestrel-picture", 20);
    QDir::setCurrent(folder);
    for (const auto &[svg, drawn, reason] : cases) {
        SCOPED_TRACE(svg.left(160).toStdString());
        const QString picture = put("picture.svg", svg);
        Reply reply;
        EXPECT_LT(TestSupport::timeWithPipes({pipe}, [&] { reply = process.ask(picture); }), 1s);
        EXPECT_EQ(reply.middle, drawn);
        if (!reason.isEmpty()) {
            EXPECT_EQ(reply.reason, reason);
        }
    }
}

// An SVG's text is read up to 256 MiB (unpacked, for an SVGZ) and refused past that, naming the bound;
// one whose parts would take the renderer more memory than the process may is refused for it before
// the renderer starts on it, having taken far less (a decode that runs out of memory ends the process),
// and one cut short is damaged.
TEST_F(PictureProcessTest, AnSvgPastItsBoundsIsRefusedForThem)
{
    const QByteArray head = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"9\">";
    // The head, then nothing the reader takes for XML, to `bytes` in all, packed with gzip.
    const auto packed = [&head](qint64 bytes) {
        return TestSupport::deflated(head + QByteArray(qsizetype(bytes - head.size()), '\0'), 16 + MAX_WBITS);
    };
    const QString notAPicture = "it is not a picture the program can read";
    const QString larger = "its text is larger than 256 MiB";
    const auto refused = Protocol::Outcome::refused;
    const struct
    {
        const char *what;
        QByteArray bytes;
        qint64 size; // the file made that long (nothing stored), where not 0
        Protocol::Outcome outcome;
        QString reason = {};
    } cases[] = {
        {"SVG at the bound", head, Protocol::maxBytes, refused, notAPicture},
        {"SVG past it", head, Protocol::maxBytes + 1, refused, larger},
        {"SVGZ at the bound", packed(Protocol::maxBytes), 0, refused, notAPicture},
        {"SVGZ past it", packed(Protocol::maxBytes + 1), 0, refused, larger},
        {"SVGZ cut short", TestSupport::deflated(head, 16 + MAX_WBITS).chopped(4), 0, refused,
         "its data is damaged or incomplete"},
        {"SVGZ of groups", Broken::svgzOf(6000000, "g"), 0, Protocol::Outcome::outOfMemory},
        {"SVGZ of rectangles", Broken::svgzOf(6000000, "rect width=\"1\" height=\"1\""), 0,
         Protocol::Outcome::outOfMemory},
    };
    // The sanitizer's hold on freed memory would slow the filter's many small allocations fourfold.
    const TestSupport::ScopedVariable quarantine("ASAN_OPTIONS",
                                                 qgetenv("ASAN_OPTIONS") + ":quarantine_size_mb=0");
    for (const auto &[what, bytes, size, outcome, reason] : cases) {
        SCOPED_TRACE(what);
        const QString picture = put("picture", bytes);
        if (size > 0) {
            ASSERT_TRUE(QFile::resize(picture, size));
        }
        Process process({}, "tapestrel-picture", 60);
        // The most memory it has held, as it decodes.
        std::atomic<bool> answered = false;
        qint64 most = 0;
        std::thread watch([&] {
            for (; !answered; std::this_thread::sleep_for(5ms))
                most = std::max(most, process.status("VmHWM").split(' ').value(1).toLongLong() << 10);
        });
        const Reply reply = process.ask(picture);
        answered = true;
        watch.join();
        EXPECT_EQ(reply.answer.outcome, outcome);
        EXPECT_EQ(reply.reason, reason);
        if (outcome == Protocol::Outcome::outOfMemory) {
            EXPECT_LT(most, qint64(64) << 20);
        }
    }
}

// What an SVG's parts take the renderer is counted against the memory a decode may take as the SVG is
// read: the parts it makes, not the elements it makes none of (descriptions, empty rectangles) nor those
// left out (in an image that names a file), with those of an SVG held as data.
TEST_F(PictureProcessTest, AnSvgsPartsAreCountedAgainstTheMemoryItMayTake)
{
    // What 1 MiB holds: 3,276 parts.
    const qint64 memory = qint64(1) << 20;
    const auto of = [](int count, const QByteArray &element) {
        return Broken::svgzOf(count, element);
    };
    const QByteArray leftOut =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"9\"><image href=\"a.png\">"
        + QByteArray("<g/>").repeated(3277) + "</image></svg>";
    // 3,277 groups where the document holds no element.
    const auto inside = [](const QByteArray &before, const QByteArray &after) {
        return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"9\">" + before
            + QByteArray("<g/>").repeated(3277) + after + "</svg>";
    };
    const struct
    {
        QByteArray svg;
        bool needsMore;
        QString failure = {}; // none where empty, or it needs more
    } cases[] = {
        {of(3276, "g"), false},
        {of(3277, "g"), true},
        {of(3277, "rect width=\"1\" height=\"1\""), true},
        {of(3277, "rect width=\"0\" height=\"1\""), false},
        {of(3277, "use"), true},
        {of(3277, "desc"), false},
        {leftOut, false},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, Broken::svgData(of(3277, "g"))), true},
        {inside("<!--", "-->"), false},
        {inside("<text><![CDATA[", "]]></text>"), false},
        {inside("<a href=\"https://example.com/\">", "</a>"), true},
        {inside("<g href=\"&#35;a\">", "</g>"), true},
        {inside("<g href=\"&#47;a\">", "</g>"), false},
        {inside("<g href=\"#" + QByteArray(5000, 'a') + "/a\">", "</g>"), false},
        {of(3277, "rect width=\"1&#x65;-999\" height=\"1\""), false},
        {inside(QByteArray("<g>").repeated(1000), QByteArray("</g>").repeated(1000)), false,
         "its elements are nested deeper than 1000 levels"},
        {"<svg xmlns=\"http://www.w3.org/2000/svg\"/>" + QByteArray("<g/>").repeated(3277), false,
         "it is not a picture the program can read"},
        // Not XML before its parts: the reading stops there.
        {inside("<g></a>", "</g>"), false, "it is not a picture the program can read"},
        {inside("<g width=\"1\"height=\"1\">", "</g>"), false, "it is not a picture the program can read"},
        {inside("<g wid<th=\"1\">", "</g>"), false, "it is not a picture the program can read"},
        // Its document type gives every group a reference to a file.
        {"<!DOCTYPE svg [<!ATTLIST g href CDATA \"a.png\">]>" + inside({}, {}), false},
        // Read as the encoding it declares, its text ends within the declaration.
        {"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + inside({}, {}), false,
         "it is not a picture the program can read"},
    };
    for (const auto &[svg, needsMore, failure] : cases) {
        SCOPED_TRACE(svg.left(160).toStdString());
        QByteArray bytes = svg;
        QBuffer file(&bytes);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        PictureReader reader(&file, memory);
        const PictureReader::Result result = reader.covering(QSize(16, 9));
        EXPECT_EQ(result.needsMoreMemory, needsMore);
        EXPECT_EQ(result.failure,
                  needsMore ? std::optional<QString>("decoding it needs more than 1 MiB of memory")
                      : failure.isEmpty() ? std::nullopt
                                          : std::optional(failure));
    }
}

// A GIF is judged by the pixels its data holds: one that holds every pixel of its picture is drawn as
// from the whole file, however the file ends after them; one whose data ends before its picture is full
// is damaged, also where its blocks and the file are closed, and so is one with a code no encoder writes.
TEST_F(PictureProcessTest, AGifIsJudgedByThePixelsItsDataHolds)
{
    const QSize size(64, 36);
    const QByteArray whole = Broken::gif(size, Qt::darkGreen);
    QImage drawn(size, QImage::Format_RGB32);
    drawn.fill(Qt::darkGreen);
    // A code past those its table holds, where its first pixel must come.
    QByteArray corrupt = whole;
    corrupt[31] = '\x3c';
    const std::pair<QByteArray, bool> cases[] = {
        {whole, true},
        {whole.chopped(2), true},
        {Broken::gif(size, Qt::darkGreen, 200), false},
        {Broken::gifShortOf(size, Qt::darkGreen, 64 * 35), false},
        {corrupt, false},
    };
    for (const auto &[gif, whole] : cases) {
        SCOPED_TRACE(gif.size());
        QByteArray bytes = gif;
        QBuffer file(&bytes);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        PictureReader reader(&file);
        const PictureReader::Result result = reader.covering(size);
        EXPECT_EQ(result.image, whole ? drawn : QImage());
        EXPECT_EQ(result.failure, whole ? std::nullopt : std::optional(PictureReader::damagedReason()));
    }
}

// The previews' process, limited to 512 MiB, draws SVGs: it reads a file into memory of the file's size;
// a text longer than the toolkit lays out does not keep the rest from being drawn. Text in a font that
// only the user installed, in either of the user's font folders below the home the
// program has (not the account's), is drawn in that face. (The sanitizer build limits no address
// space: there, no allocation of such a decode may come near the previews' limit.)
TEST_F(PictureProcessTest, SvgsAreDrawnUnderThePreviewsLimitInTheUsersFonts)
{
    const QByteArray shapes = Broken::svgWithUse(QSize(160, 90), Qt::blue, "part", Qt::red);
    // Wide letters in a face of narrow ones, or narrow letters in a face whose letters all take as much
    // room: which face drew them shows.
    // A text longer than the toolkit lays out, beside the picture.
    const QByteArray longText = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"160\" height=\"90\">"
                                "<rect width=\"160\" height=\"90\" fill=\"red\"/><text x=\"160\" y=\"90\">"
        + QByteArray(100000, 'x') + "</text></svg>";
    const QByteArray text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"360\">"
                            "<rect width=\"640\" height=\"360\" fill=\"white\"/><text x=\"0\" y=\"300\" "
                            "font-family=\"Tapestrel Mono X\" font-size=\"300\">iWi</text></svg>";
    const TestSupport::ScopedVariable largest("ASAN_OPTIONS",
                                              qgetenv("ASAN_OPTIONS") + ":max_allocation_size_mb=64");
    QFile font("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf");
    if (!font.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no DejaVu Sans Mono to install as the user's font";
    // The system's monospaced face under a name that only the user's copy has.
    const QByteArray face = font.readAll()
                                .replace("DejaVu Sans Mono", "Tapestrel Mono X")
                                .replace("DejaVuSansMono", "TapestrelMonoX")
                                .replace(QByteArray("D\0e\0j\0a\0V\0u\0 \0S\0a\0n\0s\0 \0M\0o\0n\0o", 31),
                                         QByteArray("T\0a\0p\0e\0s\0t\0r\0e\0l\0 \0M\0o\0n\0o\0 \0X", 31))
                                .replace(QByteArray("D\0e\0j\0a\0V\0u\0S\0a\0n\0s\0M\0o\0n\0o", 27),
                                         QByteArray("T\0a\0p\0e\0s\0t\0r\0e\0l\0M\0o\0n\0o\0X", 27));
    QImage fallback;
    QImage inTheFace;
    for (const char *const name : {"", ".local/share/fonts", ".fonts"}) {
        const QString folder = QString::fromLatin1(name);
        SCOPED_TRACE(folder.isEmpty() ? "no font of the user's" : folder.toStdString());
        for (const char *emptied : {".local/share/fonts", ".fonts"})
            QDir(home.filePath(emptied)).removeRecursively();
        if (!folder.isEmpty())
            home.writeFile(folder + "/TapestrelMonoX.ttf", face);
        Process process("tapestrel-picture", qint64(512) << 20);
        const std::pair<const char *, QByteArray> pictures[] = {
            {"picture.svg", shapes},
            {"picture.svgz", TestSupport::deflated(shapes, 16 + MAX_WBITS)},
            {"long.svg", longText},
            {"text.svg", text},
        };
        for (const auto &[name, bytes] : pictures) {
            SCOPED_TRACE(name);
            const Reply reply = process.ask(put(name, bytes), Protocol::Fit::within, QSize(256, 256));
            EXPECT_EQ(reply.answer.outcome, Protocol::Outcome::picture) << reply.reason.toStdString();
            if (QByteArray(name) != "text.svg") {
                EXPECT_EQ(reply.image.pixel(reply.image.width() / 2, reply.image.height() / 2),
                          qRgb(255, 0, 0));
            } else if (folder.isEmpty()) {
                fallback = reply.image;
            } else {
                EXPECT_NE(reply.image, fallback);
                if (inTheFace.isNull())
                    inTheFace = reply.image;
                EXPECT_EQ(reply.image, inTheFace);
            }
        }
    }
}

// A font the user adds after the font cache was made costs the next decoding process nothing: the
// program, which may write the cache, brings that of the user's fonts up to date before it starts one,
// and the process reads none of them in full (as the font configuration notes each font it does).
TEST_F(PictureProcessTest, AFontTheUserAddsIsReadByTheProgramNotByEachProcess)
{
    const QString font = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
    if (!QFile::exists(font))
        GTEST_SKIP() << "no DejaVu Sans Mono to install as the user's fonts";
    const QString fonts = home.filePath(".local/share/fonts");
    ASSERT_TRUE(QDir().mkpath(fonts));
    // Each a font of its own to the font configuration.
    const auto install = [&](int number) {
        return QFile::copy(font, fonts + QStringLiteral("/font-%1.ttf").arg(number));
    };
    for (int number = 0; number < 20; ++number)
        ASSERT_TRUE(install(number));
    // Started as the program starts them: before the first, the cache is made; before the next, the
    // font added meanwhile is read into it.
    std::optional<Process> started;
    started.emplace("tapestrel-picture", qint64(512) << 20);
    ASSERT_TRUE(install(20));
    started.emplace("tapestrel-picture", qint64(512) << 20);
    const TestSupport::ScopedVariable scans("FC_DEBUG", "128");
    Process process({}, "tapestrel-picture", 20);
    const Reply reply = process.ask(put("text.svg",
                                        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" "
                                        "height=\"36\"><text y=\"30\">Text</text></svg>"));
    EXPECT_EQ(reply.answer.outcome, Protocol::Outcome::picture) << reply.reason.toStdString();
    EXPECT_EQ(process.said().count("Scanning file " + QFile::encodeName(fonts)), 0);
    // Where it cannot (here without "fc-cache"), it says so, once.
    ASSERT_TRUE(install(21));
    const TestSupport::ScopedVariable path("PATH", QFile::encodeName(home.filePath("bin")));
    const QByteArray said = TestSupport::standardErrorOf([] {
        for (int i = 0; i < 2; ++i)
            Process("tapestrel-picture", qint64(512) << 20);
    });
    EXPECT_EQ(said,
              "Tapestrel: the font cache of " + QFile::encodeName(fonts)
                  + " cannot be brought up to date (“fc-cache” is not installed): each picture decoding "
                    "process reads those fonts anew.\n");
}

// What the process writes reaches the program's standard error through a pipe of its own: what it does
// to its standard error (made non-blocking) leaves the program's as it was.
TEST_F(PictureProcessTest, ItsStandardErrorIsItsOwn)
{
    TestSupport::CapturedStandardError captured;
    const int flags = ::fcntl(STDERR_FILENO, F_GETFL);
    {
        Process process("tapestrel-picture-probe", qint64(1) << 30);
        EXPECT_EQ(process.ask(put("output", "probe output\n")).reason, "written");
        EXPECT_EQ(::fcntl(STDERR_FILENO, F_GETFL), flags);
    }
    EXPECT_TRUE(TestSupport::waitUntil([&captured] { return captured.text().contains("probe: written"); }));
    EXPECT_EQ(captured.text(), "probe: written on standard error\n");
}

// The process takes the home it is told where that is a path (the user's fonts lie below it), and
// otherwise asks the system for the user's.
TEST_F(PictureProcessTest, ItsHomeIsTheOneItIsToldElseTheUsersOwn)
{
    const QString probe = put("home", "probe home\n");
    const passwd *user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    const QString users = QFile::decodeName(user->pw_dir);
    const std::pair<QByteArray, QString> cases[] = {
        {QFile::encodeName(home.path()), home.path()},
        {QByteArray(), users},
        {"relative/home", users},
    };
    for (const auto &[told, taken] : cases) {
        SCOPED_TRACE(told.toStdString());
        const TestSupport::ScopedVariable variable("HOME", told);
        Process process({}, "tapestrel-picture-probe", 20);
        EXPECT_EQ(process.ask(probe).reason, taken);
    }
}

// Whatever a canvas held before, and whatever memory the process used for an earlier picture, what a
// decoder leaves unwritten shows nothing of it: a lent canvas that nothing draws on comes back clear,
// the pixels that a bitmap compressed by runs skips have the bitmap's colour 0, and what lies beside a
// GIF's picture on its screen is black; every way of allocating gives cleared memory.
TEST_F(PictureProcessTest, WhatADecoderLeavesUnwrittenIsClear)
{
    QImage skipped(256, 256, QImage::Format_RGB32);
    skipped.fill(Qt::blue);
    QPainter(&skipped).fillRect(0, 0, 48, 256, Qt::red);
    QPainter(&skipped).fillRect(16, 0, 16, 256, Qt::blue);
    QImage clear(64, 36, QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    QImage beside(64, 36, QImage::Format_RGB32);
    beside.fill(Qt::black);
    QPainter(&beside).fillRect(0, 0, 32, 36, Qt::red);
    Process process({}, "tapestrel-picture-probe", 20);
    // A canvas that held a bright picture, lent for the next one.
    const auto bright = [&](QSize size) {
        const Reply reply =
            process.ask(put("bright.png", Broken::picture(size, Qt::white)), Protocol::Fit::cover, size);
        EXPECT_EQ(reply.image.pixel(size.width() / 2, size.height() / 2), qRgb(255, 255, 255));
        return reply.canvas;
    };
    const Reply blank = process.ask(put("blank", "probe blank\n"), Protocol::Fit::cover, QSize(64, 36),
                                    bright(QSize(64, 36)));
    EXPECT_EQ(blank.answer.canvas, 0u) << "on the lent canvas";
    EXPECT_EQ(blank.image, clear);
    const Reply wider = process.ask(put("wider.gif", Broken::gifOnWiderScreen(QSize(32, 36), Qt::red, 64)),
                                    Protocol::Fit::cover, QSize(64, 36), bright(QSize(64, 36)));
    EXPECT_EQ(wider.image.convertToFormat(QImage::Format_RGB32), beside);
    EXPECT_EQ(process.ask(put("large.png", Broken::picture(QSize(1280, 720), Qt::white))).middle,
              qRgb(255, 255, 255));
    const Reply skips = process.ask(put("skips.bmp", Broken::bmpWithSkips(Qt::red, Qt::blue)),
                                    Protocol::Fit::cover, QSize(256, 256), bright(QSize(256, 256)));
    EXPECT_EQ(skips.image.convertToFormat(QImage::Format_RGB32), skipped);
    EXPECT_EQ(process.ask(put("allocations", "probe allocations\n")).reason, "cleared");
}

// The program ends a process it left idle after 10 s: not before (starting one costs a decode's time),
// not long after (it holds its memory).
TEST_F(PictureProcessTest, AnIdleProcessEndsAfterTenSeconds)
{
    KivDesktopBackground::SpareCanvases spares;
    KivDesktopBackground::DecodingProcesses processes({qint64(1) << 30, 60s}, spares);
    bool idle = false;
    QString why;
    const std::optional<KivDesktopBackground::DecodingProcesses::Process> process =
        processes.take(&idle, &why);
    ASSERT_TRUE(process) << why.toStdString();
    QElapsedTimer clock;
    clock.start();
    processes.giveBack(*process);
    // Ended and reaped: its id names nobody.
    while (::kill(process->pid, 0) == 0 && clock.elapsed() < 30000)
        std::this_thread::sleep_for(20ms);
    EXPECT_GE(clock.elapsed(), 10000);
    EXPECT_LT(clock.elapsed(), 15000);
}
