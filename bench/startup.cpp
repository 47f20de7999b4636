// Time from starting the program to the first paint of its main window, warm (the first run is
// not counted), beside a bare Qt Widgets window that does the same (first_paint_floor). Run under a
// display, e.g. `xvfb-run -a build/dev/bin/startup`.
#include "FloorRatio.h"

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

// Times the warm starts of `program` in `home` (the first start there is not counted).
void timeStarts(benchmark::State &state, const QString &program, const QString &home)
{
    if (startOnce(program, home) < 0) {
        state.SkipWithError("no first paint (is there a display?)");
        return;
    }
    for (auto _ : state) {
        const double ms = startOnce(program, home);
        if (ms < 0) {
            state.SkipWithError("no first paint");
            return;
        }
        state.SetIterationTime(ms / 1000.0);
    }
}

void BM_StartToFirstPaint(benchmark::State &state)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tapestrel");
    // A home where a person went through the introduction: every start opens the main window. The
    // first start records the installed version (as one after the introduction does), then the
    // licence counts as accepted.
    QTemporaryDir home;
    if (!writeTrue(home.path(), QStringLiteral("didShowIntroduction")) || startOnce(program, home.path()) < 0
        || !writeTrue(home.path(), QStringLiteral("didAcceptLicense"))) {
        state.SkipWithError("the home was not prepared (is there a display?)");
        return;
    }
    timeStarts(state, program, home.path());
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_BareWindowFirstPaint(benchmark::State &state)
{
    QTemporaryDir home;
    timeStarts(state, QCoreApplication::applicationDirPath() + QStringLiteral("/first_paint_floor"),
               home.path());
}
BENCHMARK(BM_BareWindowFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    return FloorRatio::run(argc, argv, {{"BM_StartToFirstPaint", "BM_BareWindowFirstPaint"}});
}
