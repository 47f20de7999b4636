#include "RecordingOptionModel.h"

#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <gtest/gtest.h>

using namespace EngineTests;
using TestSupport::runTask;

namespace {

class ProfileControllerTest : public TestSupport::TempHomeTest
{
protected:
    ProfileControllerTest()
    {
        ProfileController::setDockRestart([this]() -> QCoro::Task<void> {
            ++dockRestarts;
            co_return;
        });
    }
    ~ProfileControllerTest() override { ProfileController::setDockRestart({}); }

    // A profile that holds every registered option but those left out, each with the value "on".
    Profile *newProfile(const QString &name, const QStringList &leftOut = {})
    {
        Profile *profile = context->insert(std::make_unique<Profile>(name));
        holdEveryOption(profile, leftOut);
        return profile;
    }
    ProfileController controller(Profile *profile, QStringList disabled = {})
    {
        return ProfileController(
            profile, [disabled] { return disabled; }, registry.store);
    }
    QStringList applied() const { return registry.journal->entries.filter(QRegularExpression("^apply ")); }

    int dockRestarts = 0;
    RecordingRegistry registry;
    ModelContainer container {home.filePath("data.sqlite")};
    ModelContext *context = container.mainContext();
};

} // namespace

TEST_F(ProfileControllerTest, AppliesInRegistryOrderAndSkipsDisabledOptions)
{
    Profile *profile = newProfile("Evening", {"apps.lumapad.theme"});
    profile->findOrCreateOption("system.ui.appearance")->setValue("dark");
    profile->findOrCreateOption("system.dock.size")->setValue("0.4");
    profile->findOrCreateOption("system.dock.size")->setEnabled(false);
    profile->findOrCreateOption("apps.alfred.theme")->setValue("Midnight");
    profile->findOrCreateOption("apps.noteplan.theme")->setValue("Toothpaste");
    // A setting the profile does not hold, or holds as the empty text, is never applied.
    profile->findOrCreateOption("apps.forklift.theme")->setValue("");
    // Failing models do not stop the walk; each one is reported, on one line.
    registry.model("system.ui.accentColor")->fails = true;
    registry.model("apps.bear.theme")->fails = true;
    registry.model("apps.bear.theme")->failure = "The file “themes.json” cannot be read:\n  line 3.";

    QList<double> progress;
    auto walk = controller(profile, {"apps.alfred.theme"});
    const ApplyResult result = runTask(walk.apply([&progress](double value) { progress.append(value); }));
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.failures.size(), 2);
    EXPECT_EQ(result.failures.value(0).key, "system.ui.accentColor");
    EXPECT_EQ(result.text(),
              "Applied “Evening”, but 2 of its settings could not be changed:\n"
              "  Test › system.ui.accentColor: refused\n"
              "  Test › apps.bear.theme: The file “themes.json” cannot be read: line 3.");

    QStringList expected;
    for (const QString &key : registryKeys) {
        if (key == "system.dock.size" || key == "apps.alfred.theme" || key == "apps.lumapad.theme"
            || key == "apps.forklift.theme")
            continue;
        expected.append("apply " + key + "=" + profile->value(key) + " @Evening");
    }
    EXPECT_EQ(applied(), expected);
    EXPECT_EQ(applied().first(), "apply system.ui.appearance=dark @Evening");
    EXPECT_EQ(applied().last(), "apply apps.noteplan.theme=Toothpaste @Evening");
    // Skipped models do not move the progress; the failing one does.
    ASSERT_EQ(progress.size(), 24);
    EXPECT_DOUBLE_EQ(progress[3], 4.0 / 28);
    EXPECT_DOUBLE_EQ(progress.last(), 1.0);
    EXPECT_EQ(dockRestarts, 0);

    // With the last model disabled, the progress stops at the last one attempted.
    profile->findOrCreateOption("apps.noteplan.theme")->setEnabled(false);
    progress.clear();
    auto shorter = controller(profile, {"apps.alfred.theme"});
    runTask(shorter.apply([&progress](double value) { progress.append(value); }));
    EXPECT_DOUBLE_EQ(progress.last(), 27.0 / 28);
}

TEST_F(ProfileControllerTest, RestartsTheDockOnceWhenModelsAskForIt)
{
    Profile *profile = newProfile("Tinted");
    registry.model("system.finder.folderColor")->setsDockRestart = true;
    registry.model("system.desktop.iconAndWidgetStyle")->setsDockRestart = true;
    auto walk = controller(profile);
    runTask(walk.apply());
    EXPECT_EQ(dockRestarts, 1);

    // A model that asks for a restart and then fails still gets it.
    registry.model("system.finder.folderColor")->fails = true;
    auto again = controller(profile);
    runTask(again.apply());
    EXPECT_EQ(dockRestarts, 2);

    // One option on its own: applied even when disabled; its error reaches the caller, without a restart.
    profile->findOrCreateOption("system.desktop.iconAndWidgetStyle")->setValue("TintedDark");
    profile->findOrCreateOption("system.desktop.iconAndWidgetStyle")->setEnabled(false);
    registry.journal->entries.clear();
    auto single = controller(profile, {"system.desktop.iconAndWidgetStyle"});
    runTask(single.apply(registry.model("system.desktop.iconAndWidgetStyle")));
    EXPECT_EQ(applied(), QStringList({"apply system.desktop.iconAndWidgetStyle=TintedDark @Tinted"}));
    EXPECT_EQ(dockRestarts, 3);
    auto failing = controller(profile);
    EXPECT_THROW(runTask(failing.apply(registry.model("system.finder.folderColor"))), OptionModelError);
    EXPECT_EQ(dockRestarts, 3);
}

TEST_F(ProfileControllerTest, ReadsEveryModelIntoTheProfile)
{
    Profile *profile = newProfile("Now", registryKeys);
    profile->findOrCreateOption("system.dock.position")->setValue("left");
    profile->findOrCreateOption("system.dock.position")->setEnabled(false);
    profile->findOrCreateOption("tools.unregistered")->setValue("kept");
    profile->findOrCreateOption("apps.alfred.theme")->setValue("Mine");
    for (RecordingOptionModel *model : registry.models)
        model->currentValue = "now";
    registry.model("system.dock.position")->currentValue = "bottom";
    registry.model("system.ui.appearance")->currentValue = "dark";
    // Nothing read (an application that is not installed) records nothing and keeps what was there.
    registry.model("apps.alfred.theme")->currentValue = std::nullopt;
    registry.model("apps.vscode.theme")->currentValue = std::nullopt;
    registry.model("apps.obsidian.theme")->currentValue = "";
    registry.model("apps.bear.theme")->onRead = [] {
        throw std::runtime_error("unreadable");
    };

    auto reader = controller(profile, registryKeys);
    runTask(reader.readCurrentSettings());

    // Existing options first, in their order; then the new ones in registry order.
    QStringList keys;
    for (const Option *option : profile->options())
        keys.append(option->key());
    QStringList expected = {"system.dock.position", "tools.unregistered", "apps.alfred.theme"};
    for (const QString &key : registryKeys) {
        if (!expected.contains(key) && key != "apps.vscode.theme" && key != "apps.obsidian.theme"
            && key != "apps.bear.theme")
            expected.append(key);
    }
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(profile->value("system.dock.position"), "bottom");
    EXPECT_FALSE(profile->option("system.dock.position")->isEnabled());
    EXPECT_EQ(profile->value("tools.unregistered"), "kept");
    EXPECT_EQ(profile->value("system.ui.appearance"), "dark");
    EXPECT_EQ(profile->value("apps.alfred.theme"), "Mine");

    // An empty profile gets the options read, enabled, in registry order.
    for (RecordingOptionModel *model : registry.models)
        model->currentValue = "now";
    registry.model("apps.bear.theme")->onRead = nullptr;
    Profile *empty = newProfile("Empty", registryKeys);
    auto fill = controller(empty);
    runTask(fill.readCurrentSettings());
    ASSERT_EQ(empty->options().size(), 28);
    for (int index = 0; index < 28; ++index) {
        EXPECT_EQ(empty->options()[index]->key(), registryKeys[index]);
        EXPECT_TRUE(empty->options()[index]->isEnabled());
    }
}

TEST_F(ProfileControllerTest, AProfileDeletedMidwayEndsTheOperationQuietly)
{
    // A name that holds a placeholder of the report's own text.
    QPointer<Profile> profile = newProfile("Doomed %2");
    registry.model("system.dock.position")->onApply = [this, profile] {
        context->remove(profile);
    };
    registry.model("system.finder.folderColor")->setsDockRestart = true;
    registry.model("system.ui.appearance")->fails = true;
    auto walk = controller(profile);
    // Not a success: the options after the deletion were never applied.
    const ApplyResult result = runTask(walk.apply());
    EXPECT_EQ(applied().size(), 8);
    EXPECT_EQ(applied().last(), "apply system.dock.position=on @Doomed %2");
    EXPECT_EQ(dockRestarts, 0);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.headline(),
              "“Doomed %2” was deleted before all of its settings were applied, and 1 of "
              "them could not be changed:");

    // A reading that finishes after its profile was deleted writes nothing.
    QPointer<Profile> reread = newProfile("Gone", registryKeys);
    registry.model("system.ui.appearance")->currentValue = "dark";
    registry.model("system.ui.appearance")->delay = std::chrono::milliseconds(50);
    QTimer::singleShot(10, context, [this, reread] { context->remove(reread); });
    int optionsBefore = container.mainContext()->fetchOptions().size();
    auto reader = controller(reread);
    runTask(reader.readCurrentSettings());
    EXPECT_EQ(container.mainContext()->fetchOptions().size(), optionsBefore);
}

TEST_F(ProfileControllerTest, OperationsTakeTurnsInTheOrderTheyWereStarted)
{
    Profile *first = newProfile("First");
    Profile *second = newProfile("Second");
    Profile *third = newProfile("Third");
    for (RecordingOptionModel *model : registry.models)
        model->delay = std::chrono::milliseconds(2);
    registry.model("system.finder.folderColor")->setsDockRestart = true;

    auto a = controller(first);
    auto b = controller(second);
    auto c = controller(third);
    auto applyA = a.apply();
    auto readB = b.readCurrentSettings();
    auto applyC = c.apply();
    runTask(std::move(applyC));
    runTask(std::move(applyA));
    runTask(std::move(readB));

    const QStringList &entries = registry.journal->entries;
    ASSERT_EQ(entries.size(), 84);
    for (int index = 0; index < 28; ++index) {
        EXPECT_TRUE(entries[index].endsWith("@First")) << entries[index].toStdString();
        EXPECT_EQ(entries[28 + index], "read " + registryKeys[index]);
        EXPECT_TRUE(entries[56 + index].endsWith("@Third")) << entries[56 + index].toStdString();
    }
    EXPECT_EQ(dockRestarts, 2);
    EXPECT_FALSE(ProfileOperationQueue::shared().isBusy());
}
