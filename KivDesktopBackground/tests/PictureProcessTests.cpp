// The decoding process on its own, as the program runs it: a socket as its standard input.

#include "KivDesktopBackground/PictureProtocol.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

extern char **environ;

using namespace std::chrono_literals;
namespace Protocol = KivDesktopBackground::PictureProtocol;

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

    // Asks for `picture` (an open file) and gives the answer and the reason that comes with it.
    std::pair<Protocol::Answer, QString> ask(int picture)
    {
        Protocol::Request request;
        request.width = 8;
        request.height = 8;
        EXPECT_TRUE(Protocol::send(m_socket, &request, sizeof request, {picture}));
        Protocol::Answer answer;
        int canvas[] = {-1};
        EXPECT_EQ(Protocol::receive(m_socket, &answer, sizeof answer, canvas), ssize_t(sizeof answer));
        if (canvas[0] >= 0)
            ::close(canvas[0]);
        QByteArray reason(int(std::min(answer.reasonBytes, Protocol::maxReasonBytes)), '\0');
        if (!reason.isEmpty()) {
            EXPECT_EQ(::recv(m_socket, reason.data(), size_t(reason.size()), MSG_WAITALL), reason.size());
        }
        return {answer, QString::fromUtf8(reason)};
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

// Once started, the process can open no file by name, connect to no socket (the session bus is one)
// and signal nobody; where the kernel lacks a means, each answer says so.
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
        {{without, "landlock"}, "the file", Protocol::Unconfined::files},
        {{without, "seccomp"}, "the socket", Protocol::Unconfined::sockets},
    };
    for (const auto &[command, reached, unconfined] : cases) {
        SCOPED_TRACE(command.join(' ').toStdString());
        Process process(command, "tapestrel-picture-probe", 20);
        QFile probe(home.filePath("probe"));
        ASSERT_TRUE(probe.open(QIODevice::ReadOnly));
        const auto [answer, reason] = process.ask(probe.handle());
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
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    // A picture whose reading never ends: a pipe nobody writes to.
    const int endless = pipe[0];
    const struct
    {
        const char *situation;
        int alarm;
        bool decoding;
        bool socketClosed;
        std::chrono::milliseconds within;
        int signal;
    } cases[] = {
        {"idle", 1, false, false, 2500ms, SIGALRM},
        {"decoding", 1, true, false, 2500ms, SIGALRM},
        {"decoding, the program gone", 30, true, true, 1000ms, 0},
        {"idle, the program gone", 30, false, true, 1000ms, 0},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.situation);
        Process process({}, "tapestrel-picture", test.alarm);
        if (test.decoding)
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
