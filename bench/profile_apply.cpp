// The engine's own cost of applying a profile: a 28-option profile applied through ProfileController
// with option models that return at once, so only the walk, the skip tests and the option lookups
// are measured.
#include "Tapestrel/Registries.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QTemporaryDir>

#include "InstantOptionModel.h"

#include <benchmark/benchmark.h>

namespace {

void applyProfile(benchmark::State &state)
{
    const QStringList keys = registeredKeys();
    QTemporaryDir folder;
    ModelContainer container(folder.filePath("data.sqlite"));
    OptionStore store([&keys] {
        std::vector<std::unique_ptr<OptionModel>> models;
        for (const QString &key : keys)
            models.push_back(std::make_unique<InstantOptionModel>(key));
        return models;
    });
    Profile *profile = container.mainContext()->insert(std::make_unique<Profile>(QStringLiteral("Bench")));
    for (const QString &key : keys)
        profile->findOrCreateOption(key)->setValue(QStringLiteral("some value of ") + key);
    profile->findOrCreateOption(keys[8])->setEnabled(false);
    const QStringList disabled = {keys[20]};

    for (auto _ : state) {
        ProfileController controller(
            profile, [&disabled] { return disabled; }, store);
        QCoro::waitFor(controller.apply());
    }
    state.SetItemsProcessed(state.iterations() * keys.size());
}
BENCHMARK(applyProfile)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
