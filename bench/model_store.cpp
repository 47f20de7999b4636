// The profile store with a realistic library: 1,000 profiles of 28 options each.
//
//   cmake --preset dev && cmake --build build/dev --target model_store && build/dev/bin/model_store
//
// OpenAndFetchAll opens the store in a fresh container and fetches every profile with its options,
// as the program does at start; its floor, ReadPlainRecords, reads the same file with the SQLite C
// API into plain records (PlainStoreReader.h). SaveOneChangedOption changes one option's value and
// saves.
//
// The fetch and its floor run in 25 short blocks each, shuffled together, whatever the command line
// says: on a shared machine a burst of load then spoils a few blocks of either, which the medians
// leave out, instead of one of five long ones.
#include "FloorRatio.h"
#include "PlainStoreReader.h"

#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int profileCount = 1000;
constexpr int optionsPerProfile = 28;

QString g_storePath;

void createStore()
{
    ModelContainer container(g_storePath);
    ModelContext *context = container.mainContext();
    for (int p = 0; p < profileCount; ++p) {
        auto *profile = context->insert(std::make_unique<Profile>(QStringLiteral("Profile %1").arg(p)));
        for (int o = 0; o < optionsPerProfile; ++o) {
            profile->findOrCreateOption(QStringLiteral("system.option.%1").arg(o))
                ->setValue(QStringLiteral("value %1 of profile %2").arg(o).arg(p));
        }
    }
    context->save();
}

void OpenAndFetchAll(benchmark::State &state)
{
    for (auto _ : state) {
        auto container = std::make_unique<ModelContainer>(g_storePath);
        const QList<Profile *> profiles = container->mainContext()->fetchProfiles();
        if (profiles.size() != profileCount || profiles.last()->options().size() != optionsPerProfile)
            state.SkipWithError("the store does not hold the expected records");
        benchmark::DoNotOptimize(profiles.data());
        state.PauseTiming();
        container.reset();
        state.ResumeTiming();
    }
    state.counters["options"] = profileCount * optionsPerProfile;
}

void ReadPlainRecords(benchmark::State &state)
{
    for (auto _ : state) {
        auto reader = std::make_unique<PlainStore::Reader>(g_storePath);
        std::optional<std::vector<PlainStore::Profile>> profiles = reader->readProfiles();
        if (!profiles || profiles->size() != profileCount
            || profiles->back().options.size() != optionsPerProfile) {
            state.SkipWithError("the store does not hold the expected records");
            break;
        }
        benchmark::DoNotOptimize(profiles->data());
        // Freed outside the measured time, as the context's records are.
        state.PauseTiming();
        profiles.reset();
        reader.reset();
        state.ResumeTiming();
    }
    state.counters["options"] = profileCount * optionsPerProfile;
}

void SaveOneChangedOption(benchmark::State &state)
{
    ModelContainer container(g_storePath);
    ModelContext *context = container.mainContext();
    const QList<Profile *> profiles = context->fetchProfiles();
    Option *option = profiles[profileCount / 2]->options()[optionsPerProfile / 2];
    int round = 0;
    for (auto _ : state) {
        option->setValue(QStringLiteral("changed %1").arg(++round));
        context->save();
    }
}

} // namespace

BENCHMARK(OpenAndFetchAll)->Unit(benchmark::kMillisecond)->MinTime(0.2)->Repetitions(25);
BENCHMARK(ReadPlainRecords)->Unit(benchmark::kMillisecond)->MinTime(0.2)->Repetitions(25);
BENCHMARK(SaveOneChangedOption)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    g_storePath = folder.filePath(QStringLiteral("data.sqlite"));
    createStore();
    return FloorRatio::run(argc, argv, {{"OpenAndFetchAll", "ReadPlainRecords"}});
}
