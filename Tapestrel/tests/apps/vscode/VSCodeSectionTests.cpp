#include "VSCodeFixture.h"

#include "Tapestrel/apps/vscode/VSCodeLocations.h"
#include "Tapestrel/apps/vscode/VSCodeProfilePicker.h"
#include "Tapestrel/apps/vscode/VSCodeSection.h"
#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"
#include "Tapestrel/apps/vscode/VSCodeSettingsView.h"
#include "Tapestrel/widgets/EditorPicker.h"

#include "testsupport/ScopedVariable.h"
#include "testsupport/Screenshots.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using TestSupport::ScopedVariable;

class VSCodeSectionTest : public ThemeTests::SectionTest<VSCodeFixture>
{
protected:
    VSCodeSection *makeSection(QWidget *parent)
    {
        auto *made = qobject_cast<VSCodeSection *>(config()->makeSection(&profile, &options, parent));
        parent->layout()->addWidget(made);
        return made;
    }
    VSCodeAppConfig *config() { return registries.appConfigStore().requireConfig<VSCodeAppConfig>(); }
};

} // namespace

TEST_F(VSCodeSectionTest, SectionShowsTheThemeRowForTheChosenProfileAndChoosesItInASheet)
{
    QWidget tab;
    tab.setLayout(new QVBoxLayout);
    VSCodeSection *section = makeSection(&tab);
    ASSERT_NE(section, nullptr);
    EXPECT_FALSE(section->isPresent()); // not installed: no section, nothing added to the profile
    EXPECT_EQ(profile.option("apps.vscode.theme"), nullptr);

    installApp("Visual Studio Code", "com.microsoft.VSCode");
    writeProfiles({work(), {"b7", "Writing", false}});
    section->refresh();
    ASSERT_TRUE(section->isPresent());
    EXPECT_EQ(section->title(), "Visual Studio Code");
    EXPECT_TRUE(section->settingsButton()->isEnabled());
    EXPECT_EQ(section->settingsButton()->accessibleName(), "Settings");
    EXPECT_EQ(section->footerLabel()->text(), "Chosen profile: Default");
    EXPECT_FALSE(section->themeRow()->isHidden());
    EXPECT_TRUE(section->noProfileHint()->isHidden());
    ASSERT_EQ(section->findChildren<EditorPicker *>().size(), 1);
    EXPECT_EQ(section->findChildren<EditorPicker *>().first()->key(), "apps.vscode.theme");
    tab.resize(560, 160);
    TestSupport::saveScreenshot(&tab, "vscode/section");

    // The sheet lists the profiles and its choice reaches the section.
    section->settingsButton()->click();
    VSCodeSettingsView *sheet = section->settingsView();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->findChild<QLabel *>("footer")->text(),
              "Only one profile can be selected, and it applies globally to all themes.");
    QComboBox *profiles = sheet->picker()->comboBox();
    ASSERT_EQ(profiles->count(), 3);
    EXPECT_EQ(profiles->itemText(0), "Default");
    EXPECT_EQ(profiles->itemText(2), "Writing");
    EXPECT_EQ(profiles->currentIndex(), 0);
    TestSupport::saveScreenshot(sheet, "vscode/settings-sheet");
    profiles->activated(1);
    EXPECT_EQ(Platform::UserDefaults::standard().string(VSCodeSelectedProfileController::profileIDKey),
              "-3f1a");
    deliverNotifications();
    EXPECT_EQ(section->footerLabel()->text(), "Chosen profile: Work");
    sheet->accept();

    // While VS Code rewrites its profile list, the chosen profile cannot be found: a hint instead.
    write(code("User/globalStorage/storage.json"), "{\"userDataProfiles\": [");
    section->selectedProfileController()->reload();
    EXPECT_TRUE(section->themeRow()->isHidden());
    EXPECT_FALSE(section->noProfileHint()->isHidden());
    EXPECT_TRUE(section->footerLabel()->isHidden());
    const QList<QLabel *> hint = section->noProfileHint()->findChildren<QLabel *>();
    ASSERT_EQ(hint.size(), 3);
    EXPECT_EQ(hint.first()->text() + "⚙" + hint.last()->text(),
              "No profile is chosen. Click ⚙ button to select one.");
}

TEST_F(VSCodeSectionTest, OutsideAnEmulatedHomeTheUsersOwnVSCodeIsUsed)
{
    EXPECT_EQ(VSCodeLocations::userDataFolder(), code());
    EXPECT_EQ(VSCodeLocations::extensionsFolder(), home.filePath(".vscode/extensions"));

    QTemporaryDir xdg;
    ASSERT_TRUE(xdg.isValid());
    const ScopedVariable noHome("TAPESTREL_HOME", QByteArray());
    const ScopedVariable userHome("HOME", QFile::encodeName(xdg.filePath("home")));
    const ScopedVariable configHome("XDG_CONFIG_HOME", QFile::encodeName(xdg.filePath("config")));
    const ScopedVariable dataHome("XDG_DATA_HOME", QFile::encodeName(xdg.filePath("data")));
    const ScopedVariable dataDirs("XDG_DATA_DIRS", QFile::encodeName(xdg.filePath("system")));
    EXPECT_FALSE(VSCodeLocations::usesEmulatedHome());
    EXPECT_EQ(VSCodeLocations::userDataFolder(), xdg.filePath("config/Code"));
    EXPECT_EQ(VSCodeLocations::extensionsFolder(), xdg.filePath("home/.vscode/extensions"));
    EXPECT_FALSE(config()->isInstalled());

    write(xdg.filePath("system/applications/code.desktop"), "[Desktop Entry]\nName=Visual Studio Code\n");
    ASSERT_TRUE(config()->isInstalled());
    EXPECT_EQ(config()->installedApps().first().path, xdg.filePath("system/applications/code.desktop"));
    {
        const ScopedVariable unsetConfig("XDG_CONFIG_HOME", QByteArray());
        EXPECT_EQ(VSCodeLocations::userDataFolder(), xdg.filePath("home/.config/Code"));
    }
}
