#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/ui/settings/GeneralSettingsView.h"
#include "Tapestrel/ui/settings/SettingsView.h"

#include "KivApp/DataSettingsView.h"
#include "KivApp/LaunchAtLogin.h"
#include "KivBackups/BackupManager.h"
#include "platform/UserDefaults.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QCheckBox>
#include <QLabel>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

class SettingsViewTest : public TestSupport::TempHomeTest
{
};

TEST_F(SettingsViewTest, GeneralAndDataPagesWorkOnTheProgramsOwnSettingsAndFolders)
{
    Tapestrel controller;
    SettingsView window(controller);
    window.show();
    EXPECT_EQ(window.width(), SettingsView::windowWidth);

    const QList<KivApp::SettingsPage *> pages = window.pages();
    ASSERT_GE(pages.size(), 2);
    EXPECT_EQ(pages.first()->tab().title, "General");
    EXPECT_EQ(pages.first()->tab().systemImage, "gear");
    EXPECT_EQ(pages.first()->fixedPageHeight(), 152);
    EXPECT_EQ(pages.last()->tab().title, "Data");

    // The toggles write their keys at once and follow changes made elsewhere.
    auto *general = pages.first();
    QCheckBox *menuBar = general->findChild<QCheckBox *>("ShowMenuBarIcon");
    QCheckBox *dock = general->findChild<QCheckBox *>("ShowDockIcon");
    ASSERT_TRUE(menuBar && dock);
    EXPECT_TRUE(menuBar->isChecked());
    EXPECT_TRUE(dock->isChecked());
    menuBar->click();
    EXPECT_FALSE(controller.defaults().showMenuBarIcon());
    EXPECT_EQ(Platform::UserDefaults::standard().value("showMenuBarIcon"), QVariant(false));
    dock->click();
    EXPECT_EQ(Platform::UserDefaults::standard().value("showDockIcon"), QVariant(false));
    Defaults elsewhere;
    elsewhere.setShowDockIcon(true);
    EXPECT_TRUE(dock->isChecked());
    EXPECT_EQ(general->findChild<KivApp::LaunchOnStartupToggle *>()->text(), "Launch app on system startup");
    TestSupport::saveScreenshot(&window, "settings/general-page");

    // The Backups row is the folder the backup manager lists its archives in.
    window.setCurrentPage(int(pages.size()) - 1);
    auto *data = qobject_cast<KivApp::DataSettingsView *>(pages.last());
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->directories().size(), 2);
    EXPECT_EQ(data->directories()[0].name, "Data");
    EXPECT_EQ(data->directories()[0].path, controller.paths().basePath());
    EXPECT_EQ(data->directories()[1].name, "Backups");
    EXPECT_EQ(data->directories()[1].path, controller.backupManager().configuration().backupStorePath);
    TestSupport::saveScreenshot(&window, "settings/data-page");
}

TEST_F(SettingsViewTest, KitResetLeavesTheFreshStoreInPlace)
{
    Tapestrel controller;
    KitDataResetController reset(controller.dataResetController());
    EXPECT_TRUE(reset.urls().isEmpty());

    EXPECT_EQ(TestSupport::runTask(KivApp::resetData(&reset)), std::nullopt);
    // The program's reset closed the store, deleted its files and opened a new one; the kit must
    // not have deleted that one afterwards.
    EXPECT_TRUE(QFile::exists(controller.paths().path(Tapestrel::Path::data)));
    EXPECT_EQ(controller.backupManager().backups().size(), 1);
}

} // namespace
