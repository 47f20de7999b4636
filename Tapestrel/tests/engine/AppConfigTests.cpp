#include "Tapestrel/Registries.h"
#include "Tapestrel/apps/forklift/ForkliftAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"

#include "testsupport/TempHome.h"

#include "platform/UserDefaults.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

class AppConfigTest : public TestSupport::TempHomeTest
{
protected:
    void chooseEdition(const QString &key, const QString &bundleID)
    {
        Platform::UserDefaults::standard().setValue(key, bundleID);
    }
    Registries registries;
    AppConfigStore &store = registries.appConfigStore();
};

} // namespace

TEST_F(AppConfigTest, StoreHoldsElevenRecordsInOrderWithTheirEditions)
{
    QStringList ids;
    for (const AppConfig *config : store.configs())
        ids.append(config->id());
    EXPECT_EQ(ids,
              QStringList({"apps.alfred", "apps.bear", "apps.corvella", "apps.forklift", "apps.iterm",
                           "apps.noteplan", "apps.obsidian", "apps.vscode", "apps.lumapad", "dt.Xcode",
                           "com.apple.Terminal"}));
    QStringList multi;
    for (const AppConfig *config : store.multiEditionConfigs())
        multi.append(config->appName());
    EXPECT_EQ(multi, QStringList({"Corvella", "ForkLift", "NotePlan", "Lumapad"}));
    for (const AppConfig *config : store.configs())
        EXPECT_TRUE(config->websiteURL().isValid() && config->websiteURL().scheme() == "https");
}

TEST_F(AppConfigTest, CurrentEditionFollowsInstallationsAndTheStoredChoice)
{
    auto *forklift = store.config<ForkliftAppConfig>();
    auto *lumapad = store.config<LumapadAppConfig>();
    auto *noteplan = store.config<NotePlanAppConfig>();

    // Nothing installed.
    EXPECT_FALSE(forklift->isInstalled());
    EXPECT_EQ(forklift->currentBundleID(), std::nullopt);
    EXPECT_EQ(forklift->preferredInstalledApp(), std::nullopt);

    // One edition: it is used whatever the stored choice says.
    home.installApp("ForkLift Setapp", "com.binarynights.forklift-setapp");
    chooseEdition("apps.forklift.bundleID", "com.binarynights.ForkLift");
    EXPECT_TRUE(forklift->isInstalled());
    EXPECT_EQ(forklift->currentBundleID(), "com.binarynights.forklift-setapp");
    EXPECT_EQ(forklift->installedApps(),
              QList<AppBundleAndPath>({{{"com.binarynights.forklift-setapp"},
                                        home.filePath("Applications/ForkLift Setapp.app")}}));

    // Two editions without a choice: the first in field order, even though its folder sorts last.
    home.installApp("NotePlan Setapp", "co.noteplan.NotePlan-setapp");
    home.installApp("ZZ NotePlan", "co.noteplan.NotePlan");
    EXPECT_EQ(noteplan->installedApps().size(), 2);
    EXPECT_EQ(noteplan->installedApps().first().bundleID.id, "co.noteplan.NotePlan");
    EXPECT_EQ(noteplan->currentBundleID(), "co.noteplan.NotePlan");
    // ... and with a choice: the chosen one.
    chooseEdition("apps.noteplan.bundleID", "co.noteplan.NotePlan-setapp");
    EXPECT_EQ(noteplan->currentBundleID(), "co.noteplan.NotePlan-setapp");
    EXPECT_EQ(noteplan->preferredInstalledApp()->path, home.filePath("Applications/NotePlan Setapp.app"));

    // Three editions; a stored choice naming a removed edition is ignored.
    home.installApp("Lumapad", "com.quorvane.Lumapad");
    home.installApp("Lumapad Setapp", "com.quorvane.Lumapad-setapp");
    EXPECT_EQ(lumapad->currentBundleID(), "com.quorvane.Lumapad");
    home.installApp("Lumapad Direct", "com.quorvane.Lumapad-vandry");
    chooseEdition("apps.lumapad.bundleID", "com.quorvane.Lumapad-setapp");
    EXPECT_EQ(lumapad->currentBundleID(), "com.quorvane.Lumapad-setapp");
    QDir(home.filePath("Applications/Lumapad Setapp.app")).removeRecursively();
    EXPECT_EQ(lumapad->preferredInstalledApp(), std::nullopt);
    EXPECT_EQ(lumapad->currentBundleID(), "com.quorvane.Lumapad");
}
