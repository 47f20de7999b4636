// The decoding process on its own, as the program runs it (a socket as its standard input), and the
// reader it decodes with, in the tests' own process.

#include "KivDesktopBackground/Canvas.h"
#include "KivDesktopBackground/DecodingProcesses.h"
#include "KivDesktopBackground/PictureProtocol.h"
#include "KivDesktopBackground/SpareCanvases.h"
#include "testsupport/BrokenPictures.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/Deflated.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

#include "PictureReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>

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

// Asks the decoding process on `socket` for `picture` (an open file) to cover 64 × 36 pixels (or as
// `fit` and `size` say), lending it `lent` (-1: no canvas), as the program does: the canvases it asks
// for are made here and kept in `made`. Gives the answer, with the colour in the middle of a picture of
// 64 × 36.
Reply ask(int socket, std::vector<Canvas> &made, int picture, Protocol::Fit fit = Protocol::Fit::cover,
          QSize size = QSize(64, 36), int lent = -1)
{
    const Protocol::Request request {Protocol::version, fit, size.width(), size.height()};
    EXPECT_TRUE(Protocol::send(socket, &request, sizeof request, {picture, lent}));
    Reply reply;
    std::vector<int> given;
    Protocol::Answer &answer = reply.answer;
    while ((reply.answered = Protocol::receive(socket, &answer, sizeof answer, {}) == ssize_t(sizeof answer))
           && answer.outcome == Protocol::Outcome::canvasWanted) {
        const std::optional<Canvas> canvas = Canvas::make(size_t(answer.canvasBytes), 0);
        const Protocol::CanvasGiven sent {Protocol::version, 0, answer.canvasBytes};
        EXPECT_TRUE(canvas && Protocol::send(socket, &sent, sizeof sent, {canvas->file}));
        made.push_back(canvas.value_or(Canvas {}));
        given.push_back(made.back().file);
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
        EXPECT_EQ(::recv(socket, reason.data(), size_t(reason.size()), MSG_WAITALL), reason.size());
    }
    reply.reason = QString::fromUtf8(reason);
    return reply;
}

// A decoding process, `command` in front of it (a program that runs it).
class Process
{
public:
    Process(QStringList command, const char *tool, int alarmSeconds, qint64 memory = qint64(1) << 30,
            const QStringList &switches = {})
    {
        command << QCoreApplication::applicationDirPath() + '/' + tool << switches << "--memory"
                << QString::number(memory) << "--alarm" << QString::number(alarmSeconds);
        int sockets[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
        m_socket = sockets[0];
        // Its standard output and error are a pipe, as the program gives it.
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
    ~Process()
    {
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

    Reply ask(int picture, Protocol::Fit fit = Protocol::Fit::cover, QSize size = QSize(64, 36),
              int lent = -1)
    {
        return ::ask(m_socket, m_canvases, picture, fit, size, lent);
    }
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
};

} // namespace

// Once started, the process can open no file by name but for reading below the folders decoders read
// (of a data folder, its fonts alone), connect to no socket (the session bus is one), signal nobody,
// type into no terminal, change no file's metadata, reach no setting of the program, share no memory,
// start no process or namespace, and make no call that no decode makes; it holds no privilege, run as
// an ordinary user as users run it, or as root. Where Landlock is missing or too old to know every
// right, the filter alone still opens nothing for writing, creating or emptying (a font it may read,
// the program's memory) and refuses signals to the program. It makes no file in memory, and grows no
// canvas, to hold pages past its limit. Where the kernel lacks a means, each answer says so; a rule the
// filter cannot hold is said on standard error.
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
    // What the ordinary user may do where nothing confines it: its files, a folder it writes in, a font
    // it may write.
    const auto prepare = [&] {
        home.writeFile("readable.png", "a file anybody may read");
        home.writeFile("users.png", "a file of the user");
        home.writeFile(".local/share/beside.txt", "beside the fonts");
        home.writeFile(".local/share/fonts/font.ttf", "a font");
        if (!root)
            return;
        for (const QString &path : {home.path(), home.filePath(".local"), home.filePath(".local/share")})
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
                                QString::number(limit)};
    home.writeFile("probe", QFile::encodeName(lines.join('\n')) + '\n');
    home.writeFile("probe 32-bit", "probe 32-bit\n");
    const QString without = QCoreApplication::applicationDirPath() + "/kernel-without";
    const QStringList user = asOrdinaryUser();
    const QStringList landlock2 {"--landlock-at-most", "2"};
    const QStringList nothing {"nothing"};
    const struct
    {
        const char *situation;
        QStringList command;
        const char *probe;
        std::optional<QStringList> reached; // all of what it reached, in order; nothing: not looked at
        quint32 unconfined;
        QStringList switches = {};
        QByteArray said = {};
    } cases[] = {
        {"as a user", user, "probe", nothing, 0},
        {"as root", {}, "probe", nothing, 0},
        {"as a user, a 32-bit socket", user, "probe 32-bit", nothing, 0},
        {"as root, no Landlock",
         {without, "landlock"},
         "probe",
         QStringList {"the file", "the data folder"},
         Protocol::Unconfined::landlock},
        {"as a user, no Landlock", user + QStringList {without, "landlock"}, "probe",
         QStringList {"the file", "the data folder"}, Protocol::Unconfined::landlock},
        {"as a user, no Landlock, no user namespace",
         user + QStringList {without, "landlock", without, "user_namespaces"}, "probe",
         QStringList {"the file", "the data folder", "the program's memory"},
         Protocol::Unconfined::landlock | Protocol::Unconfined::userNamespace},
        {"as root, Landlock 2", {}, "probe", nothing, 0, landlock2},
        {"as a user, Landlock 2", user, "probe", nothing, 0, landlock2},
        {"as a user, no seccomp", user + QStringList {without, "seccomp"}, "probe",
         QStringList {"the socket", "the terminal", "its mode", "its owner", "its times", "its attributes",
                      "the program's signals", "the program's limits", "the program's priority",
                      "the program's scheduling", "the program's processors", "new shared memory",
                      "the shared memory", "a child", "a user namespace", "a program", "a prctl() option",
                      "a file in memory", "a call no decode makes"},
         Protocol::Unconfined::seccomp},
        {"no seccomp, a 32-bit socket",
         {without, "seccomp"},
         "probe 32-bit",
         QStringList {"a socket"},
         Protocol::Unconfined::seccomp},
        // Nothing confines it: what it reaches is the machine's to say.
        {"no no_new_privs",
         {without, "no_new_privs"},
         "probe",
         std::nullopt,
         Protocol::Unconfined::noNewPrivileges | Protocol::Unconfined::landlock
             | Protocol::Unconfined::seccomp},
        {"as root, a rule the filter cannot add",
         {},
         "probe",
         nothing,
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
        QFile probe(home.filePath(test.probe));
        ASSERT_TRUE(probe.open(QIODevice::ReadOnly));
        const Reply reply = process.ask(probe.handle());
        // A call of another architecture ends the process without an answer, having reached nothing (a
        // shell tells of the signal in its status).
        if (!reply.answered) {
            EXPECT_EQ(test.reached, nothing);
            const Process::End end = process.ending(5s);
            EXPECT_TRUE(end.signal != 0 || end.status > 128);
            continue;
        }
        EXPECT_EQ(reply.answer.outcome, Protocol::Outcome::refused);
        EXPECT_EQ(reply.answer.unconfined, test.unconfined);
        if (test.reached) {
            EXPECT_EQ(reply.reason.toStdString(), test.reached->join(", ").toStdString());
        }
        EXPECT_EQ(process.said(), test.said);
        // Every answer tells it, a picture's too.
        QFile picture(home.filePath("picture.png"));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        const Reply drawn = process.ask(picture.handle());
        EXPECT_EQ(drawn.answer.outcome, Protocol::Outcome::picture);
        EXPECT_EQ(drawn.answer.unconfined, test.unconfined);
        // The shell's child is the process where it runs as a user.
        if ((test.unconfined & Protocol::Unconfined::noNewPrivileges)
            || (!user.isEmpty() && test.command.startsWith(user[0])))
            continue;
        EXPECT_EQ(process.status("NoNewPrivs"), "NoNewPrivs: 1\n");
        // A user keeps the bounding set (no_new_privs makes it useless): only root may empty it.
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
    home.writeFile("picture.png", Broken::picture(QSize(8, 8), Qt::red));
    QFile picture(home.filePath("picture.png"));
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    // What it is asked for: nothing, a picture it answers, or one whose reading never ends (a pipe
    // nobody writes to).
    const int nothing = -1;
    const int answered = picture.handle();
    const int endless = pipe[0];
    const struct
    {
        const char *situation;
        int alarm;
        int asked;
        bool socketClosed;
        std::chrono::milliseconds within;
        int signal;
    } cases[] = {
        {"never asked", 1, nothing, false, 2500ms, SIGALRM},
        {"idle after a picture", 1, answered, false, 2500ms, SIGALRM},
        {"decoding", 1, endless, false, 2500ms, SIGALRM},
        {"decoding, the program gone", 30, endless, true, 1000ms, 0},
        {"idle, the program gone", 30, answered, true, 1000ms, 0},
    };
    const TestSupport::ScopedVariable leakCheck("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":detect_leaks=1");
    for (const auto &test : cases) {
        SCOPED_TRACE(test.situation);
        Process process({}, "tapestrel-picture", test.alarm);
        if (test.asked == answered)
            EXPECT_EQ(process.ask(answered).answer.outcome, Protocol::Outcome::picture);
        else if (test.asked == endless)
            process.send(endless);
        // Past its start, which the alarm bounds too.
        std::this_thread::sleep_for(300ms);
        if (test.socketClosed)
            process.closeSocket();
        const Process::End end = process.ending(5s);
        EXPECT_LT(end.took, test.within);
        EXPECT_EQ(end.signal, test.signal);
        if (test.signal == 0) {
            EXPECT_EQ(end.status, 0);
        }
    }
    ::close(pipe[0]);
    ::close(pipe[1]);
#ifdef TAPESTREL_SANITIZE
    // The check finds a leak of the process's own, also where it ends as its socket closes.
    home.writeFile("leak", "probe leak\n");
    QFile leak(home.filePath("leak"));
    ASSERT_TRUE(leak.open(QIODevice::ReadOnly));
    Process leaking({}, "tapestrel-picture-probe", 30);
    EXPECT_EQ(leaking.ask(leak.handle()).reason, "leaked");
    leaking.closeSocket();
    const Process::End end = leaking.ending(5s);
    EXPECT_TRUE(end.signal != 0 || end.status > 0);
#endif
}

// Where the kernel does not confine the process, the filter alone keeps an SVG from reaching what it
// names, however the document is written: the renderer reads what the filter read. A document nested
// too deep is refused, naming the bound.
TEST_F(PictureProcessTest, WithoutTheKernelTheSvgFilterStillHolds)
{
    const QString secret = home.filePath("secret.png");
    home.writeFile("secret.png", Broken::picture(QSize(16, 9), Qt::red));
    QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner);
    const QString pipe = home.filePath("pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    const auto nested = [](int depth) {
        QByteArray svg = Broken::svgWithImage(QSize(16, 9), Qt::red, {});
        for (int level = 1; level < depth; ++level)
            svg = Broken::svgWithImage(QSize(16, 9), Qt::green, Broken::svgData(svg));
        return Broken::svgWithImage(QSize(16, 9), Qt::blue, Broken::svgData(svg));
    };
    const auto holding = [](const QByteArray &svg) {
        return Broken::svgWithImage(QSize(16, 9), Qt::blue, Broken::svgData(svg));
    };
    // The red shape `groups` groups deep.
    const auto grouped = [](int groups) {
        return Broken::svgWithUse(QSize(16, 9), Qt::blue, "part", Qt::red)
            .replace("<defs>", "<defs>" + QByteArray("<g>").repeated(groups))
            .replace("</defs>", QByteArray("</g>").repeated(groups) + "</defs>");
    };
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const QByteArray namesSecret = Broken::svgWithImage(QSize(16, 9), Qt::green, secret);
    const QByteArray namesPipe = Broken::svgWithImage(QSize(16, 9), Qt::green, pipe);
    const QString deeper = "its elements are nested deeper than 1000 levels";
    const struct
    {
        QByteArray svg;
        QRgb drawn;
        QString reason = {};
    } cases[] = {
        {Broken::inEncoding(namesSecret, "UTF-7"), green},
        {Broken::inEncoding(namesPipe, "IBM037"), green},
        {holding(Broken::inEncoding(namesSecret, "IBM037")), green},
        {holding(Broken::inEncoding(namesPipe, "UTF-7")), green},
        {Broken::svgWithEntity(QSize(16, 9), Qt::blue, secret), blue},
        {Broken::svgWithEntity(QSize(16, 9), Qt::blue, pipe), blue},
        // A path after "#" is no part of the document, even where an element has that id.
        {Broken::svgWithUse(QSize(16, 9), Qt::blue, "part", Qt::red), red},
        {Broken::svgWithUse(QSize(16, 9), Qt::blue, "/a/path", Qt::red), blue},
        // SVGs held in SVGs, the red one that deep.
        {nested(8), red},
        {nested(9), green},
        // An encoding the reader cannot decode: refused.
        {Broken::inEncoding(namesSecret, "x-unknown"), 0},
        // A style sheet's instruction that names a pipe is left out.
        {"<?xml-stylesheet type=\"text/css\" href=\"" + QFile::encodeName(pipe) + "\"?>"
             + Broken::svgWithUse(QSize(16, 9), Qt::blue, "part", Qt::red),
         red},
        // The shape in the <svg>, <defs>, the groups and its own element.
        {grouped(997), red},
        {grouped(998), 0, deeper},
        {grouped(100000), 0, deeper},
    };
    Process process({QCoreApplication::applicationDirPath() + "/kernel-without", "landlock"},
                    "tapestrel-picture", 20);
    for (const auto &[svg, drawn, reason] : cases) {
        SCOPED_TRACE(svg.left(160).toStdString());
        home.writeFile("picture.svg", svg);
        QFile picture(home.filePath("picture.svg"));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        Reply reply;
        EXPECT_LT(TestSupport::timeWithPipes({pipe}, [&] { reply = process.ask(picture.handle()); }), 1s);
        EXPECT_EQ(reply.middle, drawn);
        if (!reason.isEmpty()) {
            EXPECT_EQ(reply.reason, reason);
        }
    }
}

// A process started as the program starts it, which decodes as `tool` does, and whose memory limit is
// `memory`.
class ProgramsProcess
{
public:
    explicit ProgramsProcess(const char *tool, qint64 memory = qint64(1) << 30)
        : m_tool("TAPESTREL_PICTURE_TOOL",
                 QFile::encodeName(QCoreApplication::applicationDirPath() + '/' + tool))
        , m_processes(memory, 20s, m_spares)
    {
        bool idle = false;
        QString why;
        m_process = m_processes.take(&idle, &why);
        EXPECT_TRUE(m_process) << why.toStdString();
    }
    ~ProgramsProcess()
    {
        if (m_process)
            m_processes.end(*m_process);
        for (const Canvas &canvas : m_canvases)
            canvas.release();
    }
    Reply ask(int picture, Protocol::Fit fit = Protocol::Fit::cover, QSize size = QSize(64, 36))
    {
        return m_process ? ::ask(m_process->socket, m_canvases, picture, fit, size) : Reply {};
    }

private:
    TestSupport::ScopedVariable m_tool;
    KivDesktopBackground::SpareCanvases m_spares;
    KivDesktopBackground::DecodingProcesses m_processes;
    std::optional<KivDesktopBackground::DecodingProcesses::Process> m_process;
    std::vector<Canvas> m_canvases;
};

// An SVG's text is read up to 256 MiB (unpacked, for an SVGZ) and refused past that, naming the bound;
// one whose parts would take the renderer more memory than the process may is refused for it before
// the renderer starts on it (a decode that runs out of memory ends the process), and one cut short is
// damaged.
TEST_F(PictureProcessTest, AnSvgPastItsBoundsIsRefusedForThem)
{
    const QByteArray head = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"9\">";
    // The head, then nothing the reader takes for XML (none of it stored: the file's own bytes are
    // written), to `bytes` in all; or that packed with gzip.
    const auto sized = [this, &head](const char *name, qint64 bytes) {
        home.writeFile(name, head);
        EXPECT_TRUE(QFile::resize(home.filePath(name), bytes));
    };
    const auto packed = [&head](qint64 bytes) {
        return TestSupport::deflated(head + QByteArray(qsizetype(bytes - head.size()), '\0'), 16 + MAX_WBITS);
    };
    const QString notAPicture = "it is not a picture the program can read";
    const QString larger = "its text is larger than 256 MiB";
    const struct
    {
        const char *name;
        std::function<void()> write;
        Protocol::Outcome outcome;
        QString reason = {};
    } cases[] = {
        {"at.svg", [&] { sized("at.svg", Protocol::maxBytes); }, Protocol::Outcome::refused, notAPicture},
        {"past.svg", [&] { sized("past.svg", Protocol::maxBytes + 1); }, Protocol::Outcome::refused, larger},
        {"at.svgz", [&] { home.writeFile("at.svgz", packed(Protocol::maxBytes)); },
         Protocol::Outcome::refused, notAPicture},
        {"past.svgz", [&] { home.writeFile("past.svgz", packed(Protocol::maxBytes + 1)); },
         Protocol::Outcome::refused, larger},
        {"cut.svgz",
         [&] { home.writeFile("cut.svgz", TestSupport::deflated(head, 16 + MAX_WBITS).chopped(4)); },
         Protocol::Outcome::refused, "its data is damaged or incomplete"},
        {"groups.svgz", [&] { home.writeFile("groups.svgz", Broken::svgzOf(6000000, "g")); },
         Protocol::Outcome::outOfMemory},
    };
    // The sanitizer's hold on freed memory would slow the filter's many small allocations fourfold.
    const TestSupport::ScopedVariable quarantine("ASAN_OPTIONS",
                                                 qgetenv("ASAN_OPTIONS") + ":quarantine_size_mb=0");
    for (const auto &[name, write, outcome, reason] : cases) {
        SCOPED_TRACE(name);
        write();
        QFile picture(home.filePath(name));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        Process process({}, "tapestrel-picture", 60);
        const Reply reply = process.ask(picture.handle());
        EXPECT_EQ(reply.answer.outcome, outcome);
        EXPECT_EQ(reply.reason, reason);
        QFile::remove(home.filePath(name));
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
    const std::pair<QByteArray, bool> cases[] = {
        {of(3276, "g"), false},
        {of(3277, "g"), true},
        {of(3277, "rect width=\"1\" height=\"1\""), true},
        {of(3277, "rect width=\"0\" height=\"1\""), false},
        {of(3277, "desc"), false},
        {leftOut, false},
        {Broken::svgWithImage(QSize(16, 9), Qt::blue, Broken::svgData(of(3277, "g"))), true},
    };
    for (const auto &[svg, needsMore] : cases) {
        SCOPED_TRACE(svg.left(160).toStdString());
        QByteArray bytes = svg;
        QBuffer file(&bytes);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        PictureReader reader(&file, memory);
        const PictureReader::Result result = reader.covering(QSize(16, 9));
        EXPECT_EQ(result.needsMoreMemory, needsMore);
        EXPECT_EQ(result.failure,
                  needsMore ? std::optional<QString>("decoding it needs more than 1 MiB of memory")
                            : std::nullopt);
    }
}

// The previews' process, limited to 512 MiB, draws SVGs: it reads a file into memory of the file's size.
// Text in a font that only the user installed, in either of the user's font folders below the home the
// program has (not the account's), is drawn in that face. (The sanitizer build limits no address
// space: there, no allocation of such a decode may come near the previews' limit.)
TEST_F(PictureProcessTest, SvgsAreDrawnUnderThePreviewsLimitInTheUsersFonts)
{
    const QByteArray shapes = Broken::svgWithUse(QSize(160, 90), Qt::blue, "part", Qt::red);
    // Wide letters in a face of narrow ones, or narrow letters in a face whose letters all take as much
    // room: which face drew them shows.
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
        ProgramsProcess process("tapestrel-picture", qint64(512) << 20);
        const std::pair<const char *, QByteArray> pictures[] = {
            {"picture.svg", shapes},
            {"picture.svgz", TestSupport::deflated(shapes, 16 + MAX_WBITS)},
            {"text.svg", text},
        };
        for (const auto &[name, bytes] : pictures) {
            SCOPED_TRACE(name);
            home.writeFile(name, bytes);
            QFile picture(home.filePath(name));
            ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
            const Reply reply = process.ask(picture.handle(), Protocol::Fit::within, QSize(256, 256));
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

// What the process writes reaches the program's standard error through a pipe of its own: what it does
// to its standard error (made non-blocking) leaves the program's as it was.
TEST_F(PictureProcessTest, ItsStandardErrorIsItsOwn)
{
    home.writeFile("output", "probe output\n");
    TestSupport::CapturedStandardError captured;
    const int flags = ::fcntl(STDERR_FILENO, F_GETFL);
    {
        ProgramsProcess process("tapestrel-picture-probe");
        QFile output(home.filePath("output"));
        ASSERT_TRUE(output.open(QIODevice::ReadOnly));
        EXPECT_EQ(process.ask(output.handle()).reason, "written");
        EXPECT_EQ(::fcntl(STDERR_FILENO, F_GETFL), flags);
    }
    QElapsedTimer clock;
    clock.start();
    while (!captured.text().contains("probe: written on standard error\n") && clock.elapsed() < 10000)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(captured.text(), "probe: written on standard error\n");
}

// The process takes the home it is told where that is a path (the user's fonts lie below it), and
// otherwise asks the system for the user's.
TEST_F(PictureProcessTest, ItsHomeIsTheOneItIsToldElseTheUsersOwn)
{
    home.writeFile("home", "probe home\n");
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
        QFile probe(home.filePath("home"));
        ASSERT_TRUE(probe.open(QIODevice::ReadOnly));
        EXPECT_EQ(process.ask(probe.handle()).reason, taken);
    }
}

// Whatever a canvas held before, and whatever memory the process used for an earlier picture, what a
// decoder leaves unwritten shows nothing of it: a lent canvas that nothing draws on comes back clear,
// and the pixels that a bitmap compressed by runs skips have the bitmap's colour 0.
TEST_F(PictureProcessTest, WhatADecoderLeavesUnwrittenIsClear)
{
    home.writeFile("bright.png", Broken::picture(QSize(64, 36), Qt::white));
    home.writeFile("large.png", Broken::picture(QSize(1280, 720), Qt::white));
    home.writeFile("skips.bmp", Broken::bmpWithSkips(Qt::red, Qt::blue));
    home.writeFile("blank", "probe blank\n");
    QImage skipped(256, 256, QImage::Format_RGB32);
    skipped.fill(Qt::blue);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 48; ++x) {
            if (x < 16 || x >= 32)
                skipped.setPixel(x, y, qRgb(255, 0, 0));
        }
    }
    QImage clear(64, 36, QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    Process process({}, "tapestrel-picture-probe", 20);
    const auto ask = [&process, this](const char *name, int lent = -1, QSize size = QSize(64, 36)) {
        QFile picture(home.filePath(name));
        EXPECT_TRUE(picture.open(QIODevice::ReadOnly));
        return process.ask(picture.handle(), Protocol::Fit::cover, size, lent);
    };
    const Reply bright = ask("bright.png");
    EXPECT_EQ(bright.middle, qRgb(255, 255, 255));
    const Reply blank = ask("blank", bright.canvas);
    EXPECT_EQ(blank.answer.canvas, 0u) << "on the lent canvas";
    EXPECT_EQ(blank.image, clear);
    EXPECT_EQ(ask("large.png").middle, qRgb(255, 255, 255));
    EXPECT_EQ(ask("skips.bmp", -1, QSize(256, 256)).image.convertToFormat(QImage::Format_RGB32), skipped);
}

// The program ends a process it left idle after 10 s: not before (starting one costs a decode's time),
// not long after (it holds its memory).
TEST_F(PictureProcessTest, AnIdleProcessEndsAfterTenSeconds)
{
    KivDesktopBackground::SpareCanvases spares;
    KivDesktopBackground::DecodingProcesses processes(qint64(1) << 30, 60s, spares);
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
