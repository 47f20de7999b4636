// Creating a profile from the current settings, as `tapestrel create <name>` does in the running
// program, in a store of 8 and of 1,000 profiles of 28 options: every option is read (by models that
// answer at once, so that what is measured is what the store's size can change), the new profile is
// saved, and the main window's list and editor follow the change; in the second variant the
// switcher is open too (a tile for every profile).
//
//   cmake --preset dev && cmake --build build/dev --target profile_create && build/dev/bin/profile_create
//
// The floor of the 1,000-profile store is the same create in the 8-profile store: creating should
// cost the same whatever the size of the store; the 100-profile store shows what is left once the
// main window's list is full.
//
// Under callgrind with --collect-atstart=no only the timed part is counted (instructions per create are
// steadier than the time on a shared machine):
//
//   valgrind --tool=callgrind --collect-atstart=no build/dev/bin/profile_create
//       --benchmark_filter='profiles:1000/switcher:1' --benchmark_repetitions=1
#include "FloorRatio.h"
#include "InstantOptionModel.h"

#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/NewProfileCommand.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/MainWindow.h"
#include "Tapestrel/ui/switcher/MenuView.h"

#include "platform/CloudKeyValueStore.h"

#include <QApplication>
#include <QTemporaryDir>

#include <QCoro/QCoroTask>

#include <benchmark/benchmark.h>

#include <memory>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#endif

namespace {

// One turn of the program's event loop: posted events, then the objects left for deletion (which
// processEvents() alone never deletes outside a running loop, so that they would pile up here as
// they never do in the program).
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void createProfile(benchmark::State &state)
{
    const int stored = int(state.range(0));
    const bool switcherOpen = state.range(1) != 0;
    QTemporaryDir folder;
    ModelContainer container(folder.filePath("data.sqlite"));
    ModelContext *context = container.mainContext();
    for (int p = 0; p < stored; ++p) {
        auto *profile = context->insert(std::make_unique<Profile>(QStringLiteral("Profile %1").arg(p)));
        for (int o = 0; o < 28; ++o)
            profile->findOrCreateOption(QStringLiteral("system.option.%1").arg(o))
                ->setValue(QStringLiteral("value %1").arg(p * 28 + o));
    }
    context->save();

    SelectionModel selection;
    Defaults defaults;
    Platform::CloudKeyValueStore cloud(folder.filePath("cloud.plist"));
    SynchronizedOptionsStore options(cloud);
    // On screen, as in the program: a shown list lays its rows out when one is added.
    MainWindow window(&selection, context, &defaults, &options);
    window.show();
    std::unique_ptr<MenuView> switcher;
    if (switcherOpen) {
        switcher = std::make_unique<MenuView>(context, &selection, MenuView::Actions {});
        switcher->show();
    }
    settle();

    int made = 0;
    // One create, timed or not: the new profile (null when it was not made) is left in the store.
    const auto create = [&] {
        NewProfileCommand command(&selection, context, QStringLiteral("Created %1").arg(++made), false,
                                  ProfileOperationQueue::Attendance::unattended);
        QPointer<Profile> profile = QCoro::waitFor(command.createProfile());
        context->save();
        // The list, the selection of the new profile and the switcher follow on the event loop.
        settle();
        return profile;
    };
    const auto undo = [&](Profile *profile) {
        selection.setSelectedProfiles({});
        context->remove(profile);
        context->save();
        settle();
    };
    // The first create finds the list's rows not laid out yet and the window just activated, which
    // has the list measure every row again: a cost of opening the window, not of creating.
    if (QPointer<Profile> first = create())
        undo(first);

    for (auto _ : state) {
        CALLGRIND_TOGGLE_COLLECT;
        QPointer<Profile> profile = create();
        CALLGRIND_TOGGLE_COLLECT;
        if (!profile) {
            state.SkipWithError("the profile was not created");
            return;
        }
        state.PauseTiming();
        undo(profile);
        state.ResumeTiming();
    }
}

BENCHMARK(createProfile)
    ->ArgsProduct({{8, 100, 1000}, {0, 1}})
    ->ArgNames({"profiles", "switcher"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("TAPESTREL_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    OptionStore store(instantOptionModels);
    OptionStore::setProgramShared(&store);
    // Against 8 profiles, and against 100: a hundred rows already fill the main window's list, whose
    // painting then costs what it costs at any size. The ratios print in this order.
    return FloorRatio::run(
        argc, argv,
        {{"createProfile/profiles:1000/switcher:0", "createProfile/profiles:8/switcher:0"},
         {"createProfile/profiles:1000/switcher:0", "createProfile/profiles:100/switcher:0"},
         {"createProfile/profiles:1000/switcher:1", "createProfile/profiles:8/switcher:1"},
         {"createProfile/profiles:1000/switcher:1", "createProfile/profiles:100/switcher:1"}});
}
