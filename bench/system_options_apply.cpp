// Time to apply the thirteen system options of a profile end to end: the defaults tool runs as a
// child process for every write and the scripts go through the script host, against a temporary
// home.
//
//   cmake --preset bench && cmake --build --preset bench && build/bench/bin/system_options_apply
//
// Each iteration applies the other of two profiles that differ in every option, so every option
// really changes. Counters report the child processes started and the scripts run per apply.
//
// The floor (toolStarts) is what the child processes alone cost: the defaults tool started as many
// times as an apply starts it, one after the other, each writing one value. The program ends with the
// apply's ratio to it from the same run.

#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/DefaultsTool.h"
#include "platform/ScriptHost.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <QCoro/QCoroTask>

#include "FloorRatio.h"
#include "SystemOptionsApply.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace SystemProfileSamples;

using SystemOptionsApply::profileOf;

void applyThirteenSystemOptions(benchmark::State &state)
{
    const auto profiles = std::array {profileOf(first), profileOf(second)};
    std::size_t next = 0;
    std::size_t processes = 0;
    std::size_t scripts = 0;
    for (auto _ : state) {
        SystemOptionDefaults::clearHistory();
        Platform::ScriptHost::shared().clearHistory();
        QCoro::waitFor(SystemOptionsApply::apply(profiles[next].get()));
        next = 1 - next;
        processes += std::size_t(SystemOptionDefaults::history().size());
        scripts += std::size_t(Platform::ScriptHost::shared().history().size());
    }
    const double applies = double(state.iterations());
    state.counters["child_processes"] = benchmark::Counter(double(processes) / applies);
    state.counters["scripts"] = benchmark::Counter(double(scripts) / applies);
}

BENCHMARK(applyThirteenSystemOptions)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The child processes of one apply, counted once beforehand.
int g_processesPerApply = 0;

void toolStarts(benchmark::State &state)
{
    const QString tool = Platform::DefaultsTool::path();
    int value = 0;
    for (auto _ : state) {
        for (int start = 0; start < g_processesPerApply; ++start) {
            QProcess process;
            process.start(tool,
                          {QStringLiteral("write"), QStringLiteral("com.quorvane.BenchFloor"),
                           QStringLiteral("Value"), QStringLiteral("-int"), QString::number(++value)});
            if (!process.waitForFinished(10000) || process.exitCode() != 0) {
                const QByteArray why = "the defaults tool did not run: " + tool.toUtf8() + ": "
                    + process.errorString().toUtf8() + process.readAllStandardError().left(200);
                state.SkipWithError(why.constData());
                return;
            }
        }
    }
    state.counters["child_processes"] = g_processesPerApply;
}

BENCHMARK(toolStarts)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("TAPESTREL_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    {
        const auto profile = profileOf(first);
        SystemOptionDefaults::clearHistory();
        QCoro::waitFor(SystemOptionsApply::apply(profile.get()));
        const auto other = profileOf(second);
        SystemOptionDefaults::clearHistory();
        QCoro::waitFor(SystemOptionsApply::apply(other.get()));
        g_processesPerApply = int(SystemOptionDefaults::history().size());
    }
    return FloorRatio::run(argc, argv, {{"applyThirteenSystemOptions", "toolStarts"}});
}
