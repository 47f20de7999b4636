// The decoding process on its own, as the program runs it: a socket as its standard input.

#include "KivDesktopBackground/PictureProtocol.h"
#include "testsupport/BrokenPictures.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

extern char **environ;

using namespace std::chrono_literals;
namespace Protocol = KivDesktopBackground::PictureProtocol;
namespace Broken = TestSupport::BrokenPictures;

namespace {

// A decoding process, `command` in front of it (a program that runs it).
class Process
{
public:
    Process(QStringList command, const char *tool, int alarmSeconds)
    {
        command << QCoreApplication::applicationDirPath() + '/' + tool << "--memory"
                << QString::number(qint64(1) << 30) << "--alarm" << QString::number(alarmSeconds);
        int sockets[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
        m_socket = sockets[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, sockets[1], STDIN_FILENO);
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
    }
    ~Process()
    {
        closeSocket();
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    // Asks for `picture` (an open file) to cover 64 × 36 pixels and gives the answer, the reason that
    // comes with it and the colour in the middle of the picture.
    std::tuple<Protocol::Answer, QString, QRgb> ask(int picture)
    {
        const Protocol::Request request {Protocol::version, Protocol::Fit::cover, 64, 36};
        EXPECT_TRUE(Protocol::send(m_socket, &request, sizeof request, {picture}));
        Protocol::Answer answer;
        int canvas[] = {-1};
        EXPECT_EQ(Protocol::receive(m_socket, &answer, sizeof answer, canvas), ssize_t(sizeof answer));
        QRgb middle = 0;
        if (canvas[0] >= 0) {
            const size_t bytes = size_t(answer.bytesPerLine) * size_t(answer.height);
            void *pixels = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, canvas[0], 0);
            if (pixels != MAP_FAILED && answer.height == 36 && answer.bytesPerLine >= 64 * 4) {
                middle = static_cast<const QRgb *>(pixels)[18 * answer.bytesPerLine / 4 + 32];
                ::munmap(pixels, bytes);
            }
            ::close(canvas[0]);
        }
        QByteArray reason(int(std::min(answer.reasonBytes, Protocol::maxReasonBytes)), '\0');
        if (!reason.isEmpty()) {
            EXPECT_EQ(::recv(m_socket, reason.data(), size_t(reason.size()), MSG_WAITALL), reason.size());
        }
        return {answer, QString::fromUtf8(reason), middle};
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
    // How long the process took to end from now, and the signal that ended it (0: none); at most
    // `limit`.
    std::pair<std::chrono::milliseconds, int> ending(std::chrono::milliseconds limit)
    {
        QElapsedTimer clock;
        clock.start();
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0 && clock.elapsed() < limit.count())
            std::this_thread::sleep_for(10ms);
        m_pid = 0;
        return {std::chrono::milliseconds(clock.elapsed()), WIFSIGNALED(status) ? WTERMSIG(status) : 0};
    }

private:
    pid_t m_pid = 0;
    int m_socket = -1;
};

class PictureProcessTest : public TestSupport::TempHomeTest
{
};

} // namespace

// Once started, the process can open no file by name, connect to no socket (the session bus is one),
// signal nobody and type into no terminal; where the kernel lacks a means, each answer says so.
TEST_F(PictureProcessTest, OnceStartedItReachesNothing)
{
    home.writeFile("readable.png", "a file anybody may read");
    // A socket that takes connections, as the session bus's does.
    const int bus = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(home.filePath("bus")).constData(),
                 sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(bus, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(bus, 8), 0);
    home.writeFile("probe",
                   "probe\n" + QFile::encodeName(home.filePath("readable.png")) + '\n'
                       + QFile::encodeName(home.filePath("bus")) + '\n');
    const QString without = QCoreApplication::applicationDirPath() + "/kernel-without";
    const struct
    {
        QStringList command;
        QString reached;
        quint32 unconfined;
    } cases[] = {
        {{}, "nothing", 0},
        {{without, "landlock"}, "the file", Protocol::Unconfined::landlock},
        {{without, "seccomp"}, "the socket, the terminal", Protocol::Unconfined::seccomp},
    };
    for (const auto &[command, reached, unconfined] : cases) {
        SCOPED_TRACE(command.join(' ').toStdString());
        Process process(command, "tapestrel-picture-probe", 20);
        QFile probe(home.filePath("probe"));
        ASSERT_TRUE(probe.open(QIODevice::ReadOnly));
        const auto [answer, reason, middle] = process.ask(probe.handle());
        EXPECT_EQ(answer.outcome, Protocol::Outcome::refused);
        EXPECT_EQ(reason, reached);
        EXPECT_EQ(answer.unconfined, unconfined);
    }
    ::close(bus);
}

// The process ends on its own when nobody asks it for anything, when a decode outlives its alarm (the
// program gone, or stuck), and at once when the program's end of its socket closes, however the
// program ended.
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
    for (const auto &test : cases) {
        SCOPED_TRACE(test.situation);
        Process process({}, "tapestrel-picture", test.alarm);
        if (test.asked == answered)
            EXPECT_EQ(std::get<0>(process.ask(answered)).outcome, Protocol::Outcome::picture);
        else if (test.asked == endless)
            process.send(endless);
        // Past its start, which the alarm bounds too.
        std::this_thread::sleep_for(300ms);
        if (test.socketClosed)
            process.closeSocket();
        const auto [took, signal] = process.ending(5s);
        EXPECT_LT(took, test.within);
        EXPECT_EQ(signal, test.signal);
    }
    ::close(pipe[0]);
    ::close(pipe[1]);
}

// Where the kernel does not confine the process, the filter alone keeps an SVG from reaching what it
// names, however the document is written: the renderer reads what the filter read.
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
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const QByteArray namesSecret = Broken::svgWithImage(QSize(16, 9), Qt::green, secret);
    const QByteArray namesPipe = Broken::svgWithImage(QSize(16, 9), Qt::green, pipe);
    const std::pair<QByteArray, QRgb> cases[] = {
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
    };
    Process process({QCoreApplication::applicationDirPath() + "/kernel-without", "landlock"},
                    "tapestrel-picture", 20);
    for (const auto &[svg, drawn] : cases) {
        SCOPED_TRACE(svg.left(160).toStdString());
        home.writeFile("picture.svg", svg);
        QFile picture(home.filePath("picture.svg"));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        QRgb middle = 0;
        EXPECT_LT(
            TestSupport::timeWithPipes({pipe}, [&] { middle = std::get<2>(process.ask(picture.handle())); }),
            1s);
        EXPECT_EQ(middle, drawn);
    }
}
