#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/ui/ProfileEditor.h"
#include "Tapestrel/ui/settings/GeneralSettingsView.h"
#include "Tapestrel/ui/settings/SettingsView.h"
#include "Tapestrel/ui/settings/SimpleBackupsSettingsView.h"

#include "KivApp/DataSettingsView.h"
#include "KivApp/LaunchAtLogin.h"
#include "KivBackups/BackupManager.h"
#include "KivBackups/ui/BackupListView.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "platform/UserDefaults.h"
#include "testsupport/Palettes.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using SettingsViewTest = TestSupport::TempHomeTest;

TEST_F(SettingsViewTest, GeneralAndDataPagesWorkOnTheProgramsOwnSettingsAndFolders)
{
    Tapestrel controller;
    SettingsView window(controller);
    window.show();
    const QList<KivApp::SettingsPage *> pages = window.pages();
    ASSERT_GE(pages.size(), 2);

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
    EXPECT_NE(general->findChild<KivApp::LaunchOnStartupToggle *>(), nullptr);
    TestSupport::saveScreenshot(&window, "settings/general-page");

    // The Backups row is the folder the backup manager lists its archives in.
    window.setCurrentPage(int(pages.size()) - 1);
    auto *data = qobject_cast<KivApp::DataSettingsView *>(pages.last());
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->directories().size(), 2);
    EXPECT_EQ(data->directories()[0].path, controller.paths().basePath());
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

// The strongest contrast of any pixel in `area` with the colour most of the area has (what is behind).
double strongestContrast(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    const QColor background(std::max_element(counts.cbegin(), counts.cend()).key());
    double strongest = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        strongest = std::max(strongest, TestSupport::contrastRatio(QColor(it.key()), background));
    return strongest;
}

// Every page follows a palette change while it shows (the desktop turns dark, or light): it looks as
// one made in the new palette does, its lists, symbols and quieter texts included, and the backups'
// "⋮" stands out from its button. So does the profile editor's System tab, its badges and swatches.
TEST_F(SettingsViewTest, EveryPageFollowsAPaletteChangeAsIfMadeInIt)
{
    Tapestrel controller;
    Profile *profile = controller.modelContainer().mainContext()->insert(std::make_unique<Profile>("Work"));
    controller.modelContainer().mainContext()->save();
    controller.synchronizedOptionsStore().setScheduledProfiles({{"entry", profile->uuid(), 7, 30, true}});
    controller.synchronizedOptionsStore().setDisabledOptionsIDs({"system.ui.appearance"});
    TestSupport::runTask(controller.backupManager().makeBackup(false));

    profile->findOrCreateOption("system.dock.position")->setEnabled(false);
    profile->findOrCreateOption("system.ui.accentColor")->setValue("purple");
    // The editor's rows find their option models in the controller's registry.
    OptionStore::setShared(&controller.optionStore());
    const std::shared_ptr<void> unshare(nullptr, [](void *) { OptionStore::setShared(nullptr); });

    const TestSupport::ScopedPalette before(TestSupport::schemePalette(false));
    SettingsView switched(controller);
    switched.show();
    for (int index = 0; index < switched.pages().size(); ++index)
        switched.setCurrentPage(index);
    // The profile editor's System tab, with an option disabled in every profile and one in this one
    // only, is first opened after the switch.
    ProfileEditor switchedEditor(profile, nullptr, &controller.synchronizedOptionsStore());
    switchedEditor.show();
    const int systemTab = int(ProfileEditor::tabTags.indexOf("system"));
    for (const bool dark : {true, false}) {
        QApplication::setPalette(TestSupport::schemePalette(dark));
        ProfileEditor freshEditor(profile, nullptr, &controller.synchronizedOptionsStore());
        freshEditor.show();
        freshEditor.tabs()->setCurrentIndex(systemTab);
        switchedEditor.tabs()->setCurrentIndex(systemTab);
        freshEditor.resize(switchedEditor.size());
        EXPECT_TRUE(TestSupport::waitUntil(
            [&] { return switchedEditor.grab().toImage() == freshEditor.grab().toImage(); },
            std::chrono::seconds(2)))
            << (dark ? "System tab after light to dark" : "System tab after dark to light");
        TestSupport::grabAndKeep(&switchedEditor,
                                 dark ? "settings/palette/System tab after light to dark"
                                      : "settings/palette/System tab after dark to light");
        SettingsView fresh(controller);
        fresh.show();
        for (int index = 0; index < switched.pages().size(); ++index) {
            switched.setCurrentPage(index);
            fresh.setCurrentPage(index);
            KivApp::SettingsPage *page = switched.pages()[index];
            const QString name = page->tab().title + (dark ? " after light to dark" : " after dark to light");
            // What a page loads in the background (sizes of folders) comes in its own time.
            EXPECT_TRUE(TestSupport::waitUntil(
                [&] { return switched.grab().toImage() == fresh.grab().toImage(); }, std::chrono::seconds(2)))
                << name.toStdString();
            const QImage shown = TestSupport::grabAndKeep(&switched, "settings/palette/" + name);
            if (auto *backups = qobject_cast<SimpleBackupsSettingsView *>(page)) {
                // The symbol and the face of its button around it.
                const QToolButton *button = backups->backupListView()->menuButton();
                QRect symbol(QPoint(), button->iconSize() + QSize(6, 6));
                symbol.moveCenter(QRect(button->mapTo(&switched, QPoint()), button->size()).center());
                EXPECT_GE(strongestContrast(shown, symbol), 3.0) << name.toStdString();
            }
        }
    }
}

} // namespace
