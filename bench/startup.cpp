// Time from starting the program to the first paint of its main window, warm (the first run is
// not counted), and the peak memory of those processes, beside a bare Qt Widgets window that does
// the same (first_paint_floor). BM_FirstPaintInPairs times the two start by start, in turn: its
// ratio varies least between runs on a loaded machine. Run under a display (and a session bus, as
// a desktop has), e.g. `xvfb-run -a dbus-run-session -- build/dev/bin/startup`.
#include "FloorRatio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Start
{
    double milliseconds = -1; // to "first-paint" on the program's output; negative on failure
    double peakMiB = 0; // the process's peak resident memory
};

// One start of `program` with `home` as its home, to its first paint and its exit. Spawned and
// waited for by hand, since only wait4() tells one child's peak memory.
Start startOnce(const QString &program, const QString &home)
{
    const QByteArray path = QFile::encodeName(program);
    std::vector<std::string> environment;
    for (char **variable = environ; *variable; ++variable) {
        const std::string entry(*variable);
        if (entry.rfind("TAPESTREL_HOME=", 0) != 0
            && entry.rfind("TAPESTREL_QUIT_AFTER_FIRST_PAINT=", 0) != 0)
            environment.push_back(entry);
    }
    environment.push_back("TAPESTREL_HOME=" + QFile::encodeName(home).toStdString());
    environment.push_back("TAPESTREL_QUIT_AFTER_FIRST_PAINT=1");
    std::vector<char *> environmentPointers;
    for (std::string &entry : environment)
        environmentPointers.push_back(entry.data());
    environmentPointers.push_back(nullptr);
    char *arguments[] = {const_cast<char *>(path.constData()), nullptr};

    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, path.constData(), &actions, nullptr, arguments, environmentPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        return {};
    }
    Start start;
    std::string seen;
    pollfd ready {output[0], POLLIN, 0};
    while (seen.find("first-paint") == std::string::npos && poll(&ready, 1, 10000) > 0) {
        char buffer[4096];
        const ssize_t count = read(output[0], buffer, sizeof buffer);
        if (count <= 0)
            break;
        seen.append(buffer, size_t(count));
    }
    if (seen.find("first-paint") != std::string::npos)
        start.milliseconds = double(timer.nsecsElapsed()) / 1e6;
    else
        kill(child, SIGKILL);
    close(output[0]);
    int status = 0;
    rusage usage {};
    if (wait4(child, &status, 0, &usage) != child)
        return {};
    start.peakMiB = double(usage.ru_maxrss) / 1024.0;
    return start;
}

// Sets a true value in the program's preferences in `home`.
bool writeTrue(const QString &home, const QString &key)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAPESTREL_HOME"), home);
    tool.setProcessEnvironment(environment);
    tool.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tapestrel-defaults"),
               {QStringLiteral("write"), QStringLiteral("com.quorvane.Tapestrel"), key,
                QStringLiteral("-bool"), QStringLiteral("true")});
    return tool.waitForFinished(10000) && tool.exitCode() == 0;
}

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

// Times the warm starts of `program` in `home` (the first start there is not counted).
void timeStarts(benchmark::State &state, const QString &program, const QString &home)
{
    if (startOnce(program, home).milliseconds < 0) {
        state.SkipWithError("no first paint (is there a display?)");
        return;
    }
    std::vector<double> peaks;
    for (auto _ : state) {
        const Start start = startOnce(program, home);
        if (start.milliseconds < 0) {
            state.SkipWithError("no first paint");
            return;
        }
        state.SetIterationTime(start.milliseconds / 1000.0);
        peaks.push_back(start.peakMiB);
    }
    state.counters["peak_MiB"] = medianOf(peaks);
}

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tapestrel");
}

QString floorProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/first_paint_floor");
}

// A home where a person went through the introduction: every start opens the main window. The first
// start records the installed version (as one after the introduction does), then the licence counts
// as accepted.
bool prepareHome(const QString &home)
{
    return writeTrue(home, QStringLiteral("didShowIntroduction"))
        && startOnce(program(), home).milliseconds >= 0
        && writeTrue(home, QStringLiteral("didAcceptLicense"));
}

void BM_StartToFirstPaint(benchmark::State &state)
{
    QTemporaryDir home;
    if (!prepareHome(home.path())) {
        state.SkipWithError("the home was not prepared (is there a display?)");
        return;
    }
    timeStarts(state, program(), home.path());
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_BareWindowFirstPaint(benchmark::State &state)
{
    QTemporaryDir home;
    timeStarts(state, floorProgram(), home.path());
}
BENCHMARK(BM_BareWindowFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The program and the bare window in turn, start by start (which of the two goes first alternates), so
// that a burst of load on a shared machine falls on both alike; blocks of one program's starts spread
// far more between runs. The time is the program's; "ratio" is the median of the pairs' ratios.
void BM_FirstPaintInPairs(benchmark::State &state)
{
    QTemporaryDir home;
    QTemporaryDir floorHome;
    if (!prepareHome(home.path()) || startOnce(floorProgram(), floorHome.path()).milliseconds < 0) {
        state.SkipWithError("the home was not prepared (is there a display?)");
        return;
    }
    std::vector<double> ratios;
    std::vector<double> floorTimes;
    bool floorFirst = false;
    for (auto _ : state) {
        Start measured;
        Start bare;
        if (floorFirst)
            bare = startOnce(floorProgram(), floorHome.path());
        measured = startOnce(program(), home.path());
        if (!floorFirst)
            bare = startOnce(floorProgram(), floorHome.path());
        floorFirst = !floorFirst;
        if (measured.milliseconds < 0 || bare.milliseconds < 0) {
            state.SkipWithError("no first paint");
            return;
        }
        state.SetIterationTime(measured.milliseconds / 1000.0);
        ratios.push_back(measured.milliseconds / bare.milliseconds);
        floorTimes.push_back(bare.milliseconds);
    }
    state.counters["floor_ms"] = medianOf(floorTimes);
    state.counters["ratio"] = medianOf(ratios);
}
BENCHMARK(BM_FirstPaintInPairs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    return FloorRatio::run(argc, argv,
                           {{"BM_StartToFirstPaint", "BM_BareWindowFirstPaint"},
                            {"BM_StartToFirstPaint", "BM_BareWindowFirstPaint", "peak_MiB"}});
}
