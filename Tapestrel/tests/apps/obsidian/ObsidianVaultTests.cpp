#include "Tapestrel/tests/apps/obsidian/ObsidianFixture.h"

#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/obsidian/ObsidianFolders.h"
#include "Tapestrel/apps/obsidian/ObsidianVaultStore.h"
#include "testsupport/RunTask.h"
#include "testsupport/ScopedVariable.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ObsidianTests;

namespace {

struct Listing
{
    QStringList ids;
    QStringList names;
    QList<bool> open;
};

std::optional<Listing> listing(const QByteArray &file)
{
    const auto vaults = ObsidianConfigFile::decode(file);
    if (!vaults)
        return std::nullopt;
    Listing result;
    for (const ObsidianVault &vault : *vaults) {
        result.ids.append(vault.id);
        result.names.append(vault.name);
        result.open.append(vault.isOpen);
    }
    return result;
}

using TestSupport::ScopedVariable;

} // namespace

TEST(ObsidianVaultList, ReadsObsidiansFileWithItsRules)
{
    // Names are the folders' names; "open" is optional; the vault to take first leads the list:
    // the open one, then the most recently used, then by id.
    const auto vaults = listing(R"({"vaults":{
        "b2":{"path":"/home/u/Notes/Work","ts":200},
        "a1":{"path":"/home/u/Diary/","ts":200,"open":false},
        "c3":{"path":"/home/u/Old","ts":100,"open":true,"extra":[1]},
        "d4":{"path":"/home/u/Newest","ts":300,"open":null}},"updateDisabled":true})");
    ASSERT_TRUE(vaults);
    EXPECT_EQ(vaults->ids, QStringList({"c3", "d4", "a1", "b2"}));
    EXPECT_EQ(vaults->names, QStringList({"Old", "Newest", "Diary", "Work"}));
    EXPECT_EQ(vaults->open, QList<bool>({true, false, false, false}));

    EXPECT_EQ(listing(R"({"vaults":{}})")->ids, QStringList());
    EXPECT_TRUE(listing(R"({"vaults":{"a":{"path":"/v","ts":1.0}}})")) << "a whole number is a number";

    // One entry that Obsidian's own reader would refuse makes the whole file unusable.
    for (const char *bad :
         {R"({"vaults":{"a":{"path":"/v","ts":1},"b":{"path":"/w"}}})", // no "ts"
          R"({"vaults":{"a":{"ts":1}}})", // no "path"
          R"({"vaults":{"a":{"path":"/v","ts":"1"}}})", R"({"vaults":{"a":{"path":"/v","ts":1.5}}})",
          R"({"vaults":{"a":{"path":7,"ts":1}}})", R"({"vaults":{"a":{"path":"/v","ts":1,"open":"yes"}}})",
          R"({"vaults":{"a":[]}})", R"({"vaults":[]})", R"({"other":{}})", R"([])", "",
          "{\"vaults\":", "\xff\xfe{}"}) {
        EXPECT_FALSE(listing(bad)) << bad;
    }
    // Nesting far beyond any settings file is refused without exhausting the stack.
    EXPECT_FALSE(listing(QByteArray(100000, '[') + QByteArray(100000, ']')));
}

TEST_F(ObsidianTest, StoreFindsObsidiansFileInTheEmulatedHomeOrTheUsersConfigFolder)
{
    const QString vault = makeVault(QStringLiteral("Work"));
    listVaults({{"w", vault}});
    EXPECT_EQ(ObsidianFolders::configFolder(), home.filePath("Library/Application Support/obsidian"));
    ObsidianVaultStore store;
    EXPECT_TRUE(store.isRead());
    ASSERT_EQ(store.vaults().size(), 1);
    EXPECT_EQ(store.vaults().first(), (ObsidianVault {"w", "Work", false, vault}));
    EXPECT_EQ(store.vaults().first().filePath(".obsidian"), std::nullopt) << "nothing there yet";

    // Without an emulated home, the real Obsidian's folder: below $XDG_CONFIG_HOME, and its
    // desktop entry in the XDG application folders tells that it is installed.
    QTemporaryDir xdg;
    ASSERT_TRUE(xdg.isValid());
    {
        const ScopedVariable noHome("TAPESTREL_HOME", QByteArray());
        const ScopedVariable config("XDG_CONFIG_HOME", QFile::encodeName(xdg.filePath("config")));
        const ScopedVariable dataHome("XDG_DATA_HOME", QFile::encodeName(xdg.filePath("data")));
        const ScopedVariable dataDirs("XDG_DATA_DIRS",
                                      QFile::encodeName(xdg.filePath("relative-is-ignored")).mid(1) + ":"
                                          + QFile::encodeName(xdg.filePath("system")));
        EXPECT_FALSE(ObsidianFolders::isEmulatedHome());
        EXPECT_EQ(ObsidianFolders::configFolder(), xdg.filePath("config/obsidian"));
        EXPECT_FALSE(ObsidianVaultStore().isRead());
        EXPECT_EQ(ObsidianFolders::installedDesktopEntry(), std::nullopt);

        QDir().mkpath(xdg.filePath("config/obsidian"));
        QDir().mkpath(xdg.filePath("system/applications"));
        QFile::copy(home.filePath(configFile), xdg.filePath("config/obsidian/obsidian.json"));
        QFile entry(xdg.filePath("system/applications/md.obsidian.Obsidian.desktop"));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.close();
        EXPECT_EQ(ObsidianVaultStore().vaults().size(), 1);
        EXPECT_EQ(ObsidianFolders::installedDesktopEntry(), entry.fileName());
    }
    EXPECT_TRUE(ObsidianFolders::isEmulatedHome());
}

TEST_F(ObsidianTest, ChoiceIsResolvedFromTheSettingAndObsidiansList)
{
    const QString work = makeVault("Work"), diary = makeVault("Diary");

    // No file: nothing chosen, nothing stored.
    EXPECT_EQ(ObsidianSelectedVaultController().vault(), std::nullopt);
    EXPECT_EQ(storedVaultID(), std::nullopt);

    // No choice yet: the first vault is chosen and remembered. The empty text counts as no choice.
    listVaults({{"w", work, 10}, {"d", diary, 20}});
    storeVaultID("");
    EXPECT_EQ(ObsidianSelectedVaultController().vault()->id, "d");
    EXPECT_EQ(storedVaultID(), "d");

    storeVaultID("w");
    EXPECT_EQ(ObsidianSelectedVaultController().vault()->name, "Work");

    // A list that cannot be read for the moment keeps the choice; that resolution has no vault.
    QFile::remove(home.filePath(configFile));
    EXPECT_EQ(ObsidianSelectedVaultController().vault(), std::nullopt);
    EXPECT_EQ(storedVaultID(), "w");
    home.writeFile(configFile, R"({"vaults":{"w":{"path":"/x"}}})");
    EXPECT_EQ(ObsidianSelectedVaultController::resolve(), std::nullopt);
    EXPECT_EQ(storedVaultID(), "w");
    home.writeFile(configFile,
                   "{\"vaults\":{}, \"x\":\"" + QByteArray(AppFiles::maxFileSize, 'x') + "\"}");
    EXPECT_EQ(ObsidianSelectedVaultController::resolve(), std::nullopt) << "a file far too large is not read";
    EXPECT_EQ(storedVaultID(), "w");
    listVaults({{"w", work, 10}, {"d", diary, 20}});
    EXPECT_EQ(ObsidianSelectedVaultController::resolve()->id, "w");

    // A list that was read and lacks the chosen vault ends the choice; the next one takes the first.
    listVaults({{"d", diary, 20}});
    EXPECT_EQ(ObsidianSelectedVaultController().vault(), std::nullopt);
    EXPECT_EQ(storedVaultID(), std::nullopt);
    EXPECT_EQ(ObsidianSelectedVaultController().vault()->id, "d");
}

TEST_F(ObsidianTest, EveryLiveControllerFollowsTheChoice)
{
    const QString work = makeVault("Work"), diary = makeVault("Diary");
    listVaults({{"w", work, 10, true}, {"d", diary, 20}});
    ObsidianSelectedVaultController sheet, section;
    EXPECT_EQ(section.vault()->id, "w");
    int published = 0;
    QObject::connect(&section, &ObsidianSelectedVaultController::vaultChanged, [&] { ++published; });

    const ObsidianVaultStore store;
    ASSERT_NE(store.vault("d"), nullptr);
    sheet.setVault(*store.vault("d"));
    EXPECT_EQ(storedVaultID(), "d");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return section.vault() && section.vault()->id == "d"; }));
    EXPECT_EQ(published, 1);

    // A change made elsewhere (another program's write of the setting) is followed too, and so is
    // the end of the choice.
    storeVaultID("w");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return sheet.vault() && sheet.vault()->id == "w"; }));
    EXPECT_EQ(section.vault()->id, "w");
    sheet.setVault(std::nullopt);
    // The section resolves afresh: with no choice stored, it takes the first vault and stores it,
    // which moves the sheet's controller back as well.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return sheet.vault() && section.vault(); }));
    EXPECT_EQ(sheet.vault()->id, "w");
    EXPECT_EQ(storedVaultID(), "w");
}
