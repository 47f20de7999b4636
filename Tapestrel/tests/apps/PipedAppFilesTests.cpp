#include "Tapestrel/tests/apps/vscode/VSCodeFixture.h"

#include "Tapestrel/apps/alfred/AlfredFiles.h"
#include "Tapestrel/apps/alfred/AlfredThemeStore.h"
#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeStore.h"
#include "Tapestrel/apps/obsidian/ObsidianVaultStore.h"
#include "Tapestrel/apps/vscode/VSCodeProfileExtensionFinder.h"
#include "Tapestrel/apps/vscode/VSCodeProfileStore.h"
#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"
#include "testsupport/HostileFiles.h"

#include <gtest/gtest.h>

#include <functional>

using namespace std::chrono_literals;
using ThemeTests::names;

using PipedAppFilesTest = VSCodeFixture;

// Another application's theme file or list may be a named pipe that nothing ever writes: it reads
// as no file, at once, and the files beside it still count.
TEST_F(PipedAppFilesTest, APipeInPlaceOfAnApplicationsThemeFileOrListGivesNothingAtOnce)
{
    const QString alfredPrefs = QStringLiteral("Library/Application Support/Alfred/prefs.json");
    const QString alfredThemes = QStringLiteral("Alfred.alfredpreferences/themes/");
    const QString notePlanThemes =
        QStringLiteral("Library/Containers/co.noteplan.NotePlan/Data/Library/Application Support/"
                       "co.noteplan.NotePlan-setapp/Themes/");
    NotePlanAppConfig &notePlan = *registries.appConfigStore().requireConfig<NotePlanAppConfig>();
    const VSCodeProfile vscode = VSCodeProfile::defaultProfile();

    struct Case
    {
        const char *name;
        QString pipe; // below the home
        std::function<void()> layOut;
        std::function<QStringList()> read;
        QStringList expected;
    };
    const QList<Case> cases {
        {"NotePlan theme file",
         notePlanThemes + "Piped.json",
         [&] {
             installApp("NotePlan 3", "co.noteplan.NotePlan");
             home.writeFile(notePlanThemes + "Good.json", R"({"name": "Good"})");
         },
         [&] { return names(NotePlanThemeStore(&notePlan).customThemes()); },
         {"Good"}},
        {"Alfred's preferences",
         alfredPrefs,
         [] {},
         [] { return AlfredPrefs::load() ? QStringList {"read"} : QStringList(); },
         {}},
        {"Alfred theme file",
         alfredThemes + "user.piped/theme.json",
         [&] {
             home.writeFile(alfredPrefs,
                            R"({"current": "~/Alfred.alfredpreferences", "localhash": "c0ffee"})");
             home.writeFile(alfredThemes + "user.good/theme.json", R"({"alfredtheme": {"name": "Good"}})");
         },
         [] { return names(AlfredThemeStore().customThemes()); },
         {"Good"}},
        {"Obsidian's vault list",
         "Library/Application Support/obsidian/obsidian.json",
         [] {},
         [] {
             const ObsidianVaultStore store;
             return store.isRead() ? QStringList {"read"} : QStringList();
         },
         {}},
        {"a VS Code extension's manifest",
         ".vscode/extensions/pub.piped-1.0.0/package.json",
         [&] {
             const QString good = installExtension("pub.good-1.0.0", manifest({{"good", "Good"}}));
             writeExtensionsList(
                 vscode,
                 {{"pub.good", good}, {"pub.piped", home.filePath(".vscode/extensions/pub.piped-1.0.0")}});
         },
         [&] { return names(VSCodeThemeStore(vscode).customThemes()); },
         {"Good"}},
        {"VS Code's list of extensions",
         ".vscode/extensions/extensions.json",
         [] {},
         [&] {
             return VSCodeProfileExtensionFinder::extensions(vscode).isEmpty() ? QStringList()
                                                                               : QStringList {"read"};
         },
         {}},
        {"VS Code's list of profiles",
         "Library/Application Support/Code/User/globalStorage/storage.json",
         [] {},
         [] {
             const VSCodeProfileStore store;
             return QStringList {QString::number(store.profiles().size()), store.listWasRead() ? "read" : ""};
         },
         {"1", ""}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        test.layOut();
        const QString pipe = home.filePath(test.pipe);
        QFile::remove(pipe);
        ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
        QStringList found;
        EXPECT_LT(TestSupport::timeWithPipes({pipe}, [&] { found = test.read(); }), 1s);
        EXPECT_EQ(found, test.expected);
        EXPECT_FALSE(QFileInfo(pipe).isFile());
        QFile::remove(pipe);
    }
}
