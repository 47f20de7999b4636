#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/model/AutosaveController.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"

#include "platform/UserDefaults.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using ProgramSettings = TestSupport::TempHomeTest;

} // namespace

TEST_F(ProgramSettings, DefaultsReadTheirDefaultsUntilSetAndWriteOnlyWhenSet)
{
    Defaults defaults;
    EXPECT_TRUE(defaults.showMenuBarIcon());
    EXPECT_TRUE(defaults.showDockIcon());
    EXPECT_TRUE(defaults.confirmTerminatingITerm());
    EXPECT_FALSE(defaults.didApplyAnyProfile());
    EXPECT_EQ(defaults.lastAppliedProfileID(), QString());
    EXPECT_FALSE(defaults.activeEditorTab().has_value());
    Platform::UserDefaults &standard = Platform::UserDefaults::standard();
    EXPECT_TRUE(standard.persistentDomain().isEmpty());

    QSignalSpy dockChanged(&defaults, &Defaults::showDockIconChanged);
    defaults.setShowDockIcon(false);
    defaults.setShowMenuBarIcon(false);
    defaults.setDidApplyAnyProfile(true);
    defaults.setLastAppliedProfileID("ABC");
    defaults.setActiveEditorTab("apps");
    defaults.setConfirmTerminatingITerm(false);
    EXPECT_EQ(dockChanged.count(), 1);
    EXPECT_EQ(standard.persistentDomain(),
              (QVariantMap {{"showDockIcon", false},
                            {"showMenuBarIcon", false},
                            {"didApplyAnyProfile", true},
                            {"lastAppliedProfileID", "ABC"},
                            {"activeEditorTab", "apps"},
                            {"confirmTerminatingITerm", false}}));

    Defaults other;
    EXPECT_FALSE(other.showDockIcon());
    EXPECT_FALSE(other.confirmTerminatingITerm());
    EXPECT_EQ(other.activeEditorTab(), std::optional<QString>("apps"));
    QSignalSpy tabChanged(&other, &Defaults::activeEditorTabChanged);
    defaults.setActiveEditorTab(std::nullopt);
    EXPECT_EQ(tabChanged.count(), 1);
    EXPECT_FALSE(other.activeEditorTab().has_value());
}

TEST_F(ProgramSettings, AutosaveSavesEverySecondAndAlwaysCallsTheAction)
{
    auto container = std::make_unique<ModelContainer>(home.filePath("data.sqlite"));
    int actions = 0;
    AutosaveController autosave(3.0, false, container.get(), [&] { ++actions; });
    autosave.start();
    const QTimer *timer = autosave.timer();
    autosave.start();
    ASSERT_EQ(autosave.timer(), timer);
    EXPECT_EQ(timer->interval(), 1000);

    container->mainContext()->insert(std::make_unique<Profile>("Saved by autosave"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return actions == 1; }));
    EXPECT_FALSE(container->mainContext()->hasChanges());
    {
        ModelContainer reopened(container->filePath());
        ASSERT_EQ(reopened.mainContext()->fetchProfiles().size(), 1);
    }

    container.reset();
    EXPECT_EQ(autosave.modelContainer(), nullptr);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return actions == 2; }));
}

TEST_F(ProgramSettings, AStoreThatCannotBeOpenedStopsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    home.writeFile("broken/data.sqlite", QByteArray("not a database at all, just text"));
    const QString path = home.filePath("broken/data.sqlite");
    EXPECT_DEATH(Tapestrel::openModelContainer(path), "Could not create ModelContainer: .*not a database");
    EXPECT_EQ(home.readFile("broken/data.sqlite"), QByteArray("not a database at all, just text"));
}
