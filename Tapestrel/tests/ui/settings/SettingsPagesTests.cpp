#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/settings/AppSettingsView.h"
#include "Tapestrel/ui/settings/AutomationView.h"
#include "Tapestrel/ui/settings/DisabledOptionsView.h"
#include "Tapestrel/ui/settings/SettingsView.h"
#include "Tapestrel/ui/settings/SimpleBackupsSettingsView.h"

#include "KivBackups/ui/BackupListView.h"

#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QMenu>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

TEST(SettingsPagesTest, WindowHoldsThePagesInTabOrderOverTheProgramsLists)
{
    TestSupport::TempHome home;
    Tapestrel controller;
    SettingsView window(controller);
    window.show();

    QStringList titles;
    for (KivApp::SettingsPage *page : window.pages())
        titles.append(page->tab().title);
    EXPECT_EQ(titles.mid(1), QStringList({"Automation", "Apps", "Disabled Options", "Backups", "Data"}));

    // Each page fits the window to its own height.
    for (int index : {1, 2, 3, 4}) {
        window.setCurrentPage(index);
        EXPECT_EQ(window.height(),
                  QList<int>({250, 288, 400, 400}).at(index - 1)
                      + window.tabs()->tabBar()->sizeHint().height());
        TestSupport::saveScreenshot(&window,
                                    "settings/window-" + titles.at(index).toLower().replace(' ', '-'));
    }

    // The pages edit the program's one synchronised lists, and see its profiles.
    auto *page = qobject_cast<AutomationView *>(window.pages().at(1));
    ASSERT_NE(page, nullptr);
    Profile *profile =
        controller.modelContainer().mainContext()->insert(std::make_unique<Profile>("Evening"));
    page->add(profile);
    ASSERT_EQ(controller.synchronizedOptionsStore().scheduledProfiles().size(), 1);
    EXPECT_EQ(controller.synchronizedOptionsStore().scheduledProfiles().first().profileID, profile->uuid());

    auto *disabled = qobject_cast<DisabledOptionsView *>(window.pages().at(3));
    ASSERT_NE(disabled, nullptr);
    disabled->addOption("system.dock.position");
    EXPECT_EQ(controller.synchronizedOptionsStore().disabledOptionsIDs(),
              QStringList({"system.dock.position"}));
    EXPECT_NE(qobject_cast<AppSettingsView *>(window.pages().at(2)), nullptr);
    auto *backups = qobject_cast<SimpleBackupsSettingsView *>(window.pages().at(4));
    ASSERT_NE(backups, nullptr);
    EXPECT_EQ(backups->backupListView()->backupManager(), &controller.backupManager());
}
