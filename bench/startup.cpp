// Time from starting the program to the first paint of its main window, warm (the first run is
// not counted). Run under a display, e.g. `xvfb-run -a build/bench/bin/startup`.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// One start: milliseconds to "first-paint" on the program's output, or a negative value on failure.
double startOnce(const QString &program, const QString &home)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAPESTREL_HOME"), home);
    environment.insert(QStringLiteral("TAPESTREL_QUIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    QByteArray output;
    while (!output.contains("first-paint")) {
        if (!process.waitForReadyRead(10000))
            return -1;
        output += process.readAllStandardOutput();
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    process.waitForFinished(10000);
    return elapsed;
}

// A home where the introduction of the first start has been shown: every start opens the main window.
bool markIntroductionShown(const QString &home)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAPESTREL_HOME"), home);
    tool.setProcessEnvironment(environment);
    tool.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tapestrel-defaults"),
               {QStringLiteral("write"), QStringLiteral("com.quorvane.Tapestrel"),
                QStringLiteral("didShowIntroduction"), QStringLiteral("-bool"), QStringLiteral("true")});
    return tool.waitForFinished(10000) && tool.exitCode() == 0;
}

void BM_StartToFirstPaint(benchmark::State &state)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tapestrel");
    QTemporaryDir home;
    if (!markIntroductionShown(home.path())) {
        state.SkipWithError("the defaults tool did not run");
        return;
    }
    if (startOnce(program, home.path()) < 0) {
        state.SkipWithError("the program did not paint its main window (is there a display?)");
        return;
    }
    for (auto _ : state) {
        const double ms = startOnce(program, home.path());
        if (ms < 0) {
            state.SkipWithError("the program did not paint its main window");
            return;
        }
        state.SetIterationTime(ms / 1000.0);
    }
}
BENCHMARK(BM_StartToFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
