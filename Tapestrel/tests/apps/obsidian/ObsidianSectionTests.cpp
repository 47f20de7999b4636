#include "Tapestrel/tests/apps/obsidian/ObsidianFixture.h"

#include "Tapestrel/Registries.h"
#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"
#include "Tapestrel/apps/obsidian/ObsidianSection.h"
#include "Tapestrel/apps/obsidian/ObsidianSettingsView.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianThemePicker.h"
#include "Tapestrel/apps/obsidian/ObsidianVaultPicker.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/tests/ui/SectionProbes.h"
#include "Tapestrel/widgets/EditorPicker.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"

#include <QComboBox>
#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

using UiTests::rowKeys;

using namespace ObsidianTests;
using PickerEntry = ThemePicker::Entry;

namespace {

class ObsidianSectionTest : public ObsidianTest
{
protected:
    ObsidianSectionTest() { OptionStore::setShared(&registries.optionStore()); }
    ~ObsidianSectionTest() override { OptionStore::setShared(nullptr); }

    ObsidianAppConfig *config() { return registries.appConfigStore().requireConfig<ObsidianAppConfig>(); }
    ObsidianThemeOptionModel *themeModel()
    {
        return dynamic_cast<ObsidianThemeOptionModel *>(
            registries.optionStore().model(ObsidianThemeOptionModel::optionKey()));
    }

    Registries registries;
    Profile profile {QStringLiteral("Writing")};
};

} // namespace

TEST_F(ObsidianSectionTest, SectionShowsTheChosenVaultAndItsRowsAndTheSheetChoosesIt)
{
    {
        // Not installed: no section, and nothing was built for it.
        ObsidianSection section(&profile, config(), nullptr);
        EXPECT_FALSE(section.isPresent());
        EXPECT_EQ(section.settingsButton(), nullptr);
    }
    home.installApp("Obsidian", "md.obsidian");
    const QString work = makeVault("Work"), diary = makeVault("Diary");
    home.writeFile("Vaults/Diary/.obsidian/themes/Blue Topaz/theme.css", "");
    {
        // Installed without vaults: the text says how to choose one, and no rows are made, so the
        // profile gains no Obsidian options.
        ObsidianSection section(&profile, config(), nullptr);
        ASSERT_TRUE(section.isPresent());
        EXPECT_TRUE(section.settingsButton()->isEnabled());
        EXPECT_TRUE(section.settingsButton()->autoRaise());
        EXPECT_EQ(section.noVaultLabel()->text(), "No vault is chosen. Click ");
        EXPECT_FALSE(section.noVaultLabel()->isHidden());
        EXPECT_EQ(section.optionRows(), nullptr);
        EXPECT_TRUE(section.footerLabel()->isHidden());
        EXPECT_TRUE(profile.options().isEmpty());
        section.resize(560, 120);
        TestSupport::saveScreenshot(&section, "ObsidianSection-NoVault");
        section.showSettings();
        ASSERT_NE(section.settingsView(), nullptr);
        EXPECT_NE(section.settingsView()->vaultPicker()->emptyLabel(), nullptr);
    }

    // Obsidian lists vaults and none was chosen: the section takes the first without being asked.
    listVaults({{"w", work, 20}, {"d", diary, 10}});
    ObsidianSection section(&profile, config(), nullptr);
    section.resize(560, 200);
    EXPECT_EQ(section.footerLabel()->text(), "Chosen vault: Work");
    ASSERT_NE(section.optionRows(), nullptr);
    EXPECT_EQ(rowKeys(section.optionRows()),
              QStringList({"apps.obsidian.theme", "apps.obsidian.accentColor"}));
    EXPECT_TRUE(section.noVaultLabel()->parentWidget()->isHidden());
    TestSupport::saveScreenshot(&section, "ObsidianSection");
    auto *picker = section.findChild<ObsidianThemePicker *>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->entries(),
              QList<PickerEntry>({{PickerEntry::Kind::row, "Don't set", "<do-not-set>"},
                                  {PickerEntry::Kind::divider, "", ""},
                                  {PickerEntry::Kind::header, "Built-in Themes", ""},
                                  {PickerEntry::Kind::row, "Default", "<default>"},
                                  {PickerEntry::Kind::header, "Custom Themes", ""}}));

    // Choosing the other vault in the sheet shows it at once, with its themes in the open picker.
    section.settingsButton()->click();
    ObsidianSettingsView *sheet = section.settingsView();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    QComboBox *vaults = sheet->vaultPicker()->comboBox();
    vaults->setCurrentIndex(1);
    emit vaults->activated(1);
    EXPECT_EQ(section.footerLabel()->text(), "Chosen vault: Diary");
    EXPECT_EQ(picker->entries().last(), (PickerEntry {PickerEntry::Kind::row, "Blue Topaz", "Blue Topaz"}));
    ASSERT_TRUE(picker->choose("Blue Topaz"));
    EXPECT_EQ(profile.value("apps.obsidian.theme"), "Blue Topaz");
    sheet->accept();

    // The vaults leave Obsidian's list: the next resolution anywhere ends the choice, and the rows
    // give way to the no-vault text.
    listVaults({});
    EXPECT_EQ(ObsidianSelectedVaultController::resolve(), std::nullopt);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return section.optionRows()->isHidden(); }));
    EXPECT_FALSE(section.noVaultLabel()->parentWidget()->isHidden());
}

TEST_F(ObsidianSectionTest, ThemeListLineComesFromTheChosenVaultsThemes)
{
    const auto info = [&] {
        return themeModel()->themeInfo(&profile);
    };
    Option *theme = profile.findOrCreateOption("apps.obsidian.theme");
    EXPECT_EQ(info(), std::nullopt) << "no vault chosen";

    listVaults({{"w", makeVault("Work"), 20}});
    home.writeFile("Vaults/Work/.obsidian/themes/Minimal/theme.css", "");
    EXPECT_EQ(info(), std::nullopt) << "the empty text sets no theme";
    theme->setValue("<default>");
    EXPECT_EQ(info(), (ThemeInfo {"Obsidian", "Default", true}));
    theme->setValue("Minimal");
    EXPECT_EQ(info(), (ThemeInfo {"Obsidian", "Minimal", false}));
    for (const char *gone : {"Things", "<do-not-set>"}) {
        theme->setValue(gone);
        EXPECT_EQ(info(), std::nullopt) << gone;
    }
}
