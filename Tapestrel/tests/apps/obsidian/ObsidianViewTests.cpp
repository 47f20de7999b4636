#include "Tapestrel/tests/apps/obsidian/ObsidianFixture.h"

#include "Tapestrel/apps/obsidian/ObsidianSettingsView.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeStore.h"
#include "Tapestrel/apps/obsidian/ObsidianVaultPicker.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"

#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

using namespace ObsidianTests;

namespace {

QStringList names(const QList<ObsidianTheme> &themes)
{
    QStringList result;
    for (const ObsidianTheme &theme : themes)
        result.append(theme.id == theme.name ? theme.name : theme.id + "=" + theme.name);
    return result;
}

} // namespace

TEST_F(ObsidianTest, ThemeStoreListsTheVaultsThemesFolderAndFollowsTheVault)
{
    const QString work = makeVault("Work"), diary = makeVault("Diary");
    // Every entry counts, folders and files alike, hidden ones included.
    for (const char *entry : {"Minimal/theme.css", "Things/manifest.json", ".hidden.css", "notes.txt"})
        home.writeFile(QStringLiteral("Vaults/Work/.obsidian/themes/") + entry, "");
    QDir().mkpath(home.filePath("Vaults/Diary/.obsidian/themes/Blue Topaz"));
    listVaults({{"w", work, 10}, {"d", diary, 5}});

    ObsidianThemeStore store(ObsidianSelectedVaultController::resolve());
    EXPECT_EQ(names(store.defaultThemes()), QStringList({"<default>=Default"}));
    QStringList listed = names(store.customThemes());
    listed.sort();
    EXPECT_EQ(listed, QStringList({".hidden.css", "Minimal", "Things", "notes.txt"}));

    int changes = 0;
    QObject::connect(&store, &ObsidianThemeStore::changed, [&] { ++changes; });
    store.setVault(ObsidianVaultStore().vaults().last());
    EXPECT_EQ(names(store.customThemes()), QStringList({"Blue Topaz"}));
    store.setVault(std::nullopt);
    EXPECT_TRUE(store.customThemes().isEmpty());
    EXPECT_EQ(changes, 2);
    // A vault whose folder is gone, or whose themes "folder" is a file, lists nothing.
    store.setVault(ObsidianVault {"x", "Gone", false, home.filePath("Vaults/Gone")});
    EXPECT_TRUE(store.customThemes().isEmpty());
    home.writeFile("Vaults/Diary/.obsidian/themes2", "");
    QDir(home.filePath("Vaults/Diary/.obsidian/themes")).removeRecursively();
    QFile::rename(home.filePath("Vaults/Diary/.obsidian/themes2"),
                  home.filePath("Vaults/Diary/.obsidian/themes"));
    store.setVault(ObsidianVaultStore().vaults().last());
    EXPECT_TRUE(store.customThemes().isEmpty());
}

TEST_F(ObsidianTest, SettingsSheetChoosesTheVaultForEveryone)
{
    {
        // Obsidian installed without vaults: the sheet says so and offers nothing to choose.
        ObsidianSettingsView sheet;
        EXPECT_EQ(sheet.vaultPicker()->comboBox(), nullptr);
        ASSERT_NE(sheet.vaultPicker()->emptyLabel(), nullptr);
        EXPECT_EQ(sheet.vaultPicker()->emptyLabel()->text(),
                  "No vaults were found.\nOpen Obsidian app and create one");
        EXPECT_EQ(sheet.findChild<QLabel *>("footer")->text(),
                  "Only one vault can be selected, and it applies globally to all themes.");
    }

    listVaults({{"w", makeVault("Work"), 10}, {"d", makeVault("Diary"), 20}});
    ObsidianSelectedVaultController elsewhere;
    ObsidianSettingsView sheet;
    sheet.resize(420, 160);
    QComboBox *combo = sheet.vaultPicker()->comboBox();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "Diary") << "the most recently used vault first";
    EXPECT_EQ(combo->currentText(), "Diary") << "the first vault was chosen when none was";
    TestSupport::saveScreenshot(&sheet, "ObsidianSettingsView");

    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(storedVaultID(), "w");
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return elsewhere.vault() && elsewhere.vault()->name == "Work"; }));

    // A choice made elsewhere shows in the open sheet.
    storeVaultID("d");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return combo->currentText() == "Diary"; }));
}
