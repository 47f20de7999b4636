// `tapestrel-defaults read` of a deep and wide value: one key of a preference domain holding 50 to
// 400 nested dictionaries, each with 40 texts beside the next level (about 55 to 480 KB in the binary
// form). The printed text indents every line by its level, so it grows faster than the domain.
//
//   cmake --preset bench && cmake --build build/bench --target defaults_read && build/bench/bin/defaults_read
//
// ReadDeepAndWide runs the tool's command in this process; its floor, WriteXml, writes the same value
// with the program's XML writer, which indents by level too, into one buffer. Both report the time
// per printed character (complexity N is the printed size): a printer that copied the text below each
// level again would grow with the square of the depth and show as a rising ratio to the floor.
#include "FloorRatio.h"

#include "platform/PropertyList.h"
#include "tools/tapestrel-defaults/DefaultsCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using Platform::PropertyList;

namespace {

constexpr int textsPerLevel = 40;

QVariant deepAndWide(int levels)
{
    QVariant value = QVariantMap();
    for (int level = levels - 1; level >= 0; --level) {
        QVariantMap map;
        for (int i = 0; i < textsPerLevel; ++i)
            map.insert(QStringLiteral("key %1").arg(i),
                       QStringLiteral("text %1 of level %2").arg(i).arg(level));
        map.insert(QStringLiteral("next"), value);
        value = map;
    }
    return value;
}

void ReadDeepAndWide(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("TAPESTREL_HOME", home.path().toUtf8());
    const QByteArray domain =
        PropertyList::toBinary(QVariantMap {{QStringLiteral("deep"), deepAndWide(int(state.range(0)))}});
    QDir().mkpath(home.filePath(QStringLiteral("Library/Preferences")));
    QFile file(home.filePath(QStringLiteral("Library/Preferences/com.example.deep.plist")));
    if (!file.open(QIODevice::WriteOnly) || file.write(domain) != domain.size()) {
        state.SkipWithError("the domain could not be written");
        return;
    }
    file.close();
    qsizetype printed = 0;
    for (auto _ : state) {
        const DefaultsCommandResult result = runDefaultsCommand({"read", "com.example.deep", "deep"});
        if (result.exitCode != 0) {
            state.SkipWithError(qPrintable(result.error));
            return;
        }
        printed = result.output.size();
    }
    state.SetComplexityN(printed);
    state.counters["domain KB"] = double(domain.size()) / 1024;
    state.counters["printed MB"] = double(printed) / 1e6;
}

void WriteXml(benchmark::State &state)
{
    const QVariant value = QVariantMap {{QStringLiteral("deep"), deepAndWide(int(state.range(0)))}};
    qsizetype written = 0;
    for (auto _ : state)
        written = PropertyList::toXml(value).size();
    state.SetComplexityN(written);
    state.counters["printed MB"] = double(written) / 1e6;
}

} // namespace

BENCHMARK(ReadDeepAndWide)
    ->RangeMultiplier(2)
    ->Range(50, 400)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(WriteXml)
    ->RangeMultiplier(2)
    ->Range(50, 400)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return FloorRatio::run(argc, argv, {{"ReadDeepAndWide", "WriteXml"}});
}
