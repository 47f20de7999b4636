#include "ThemeTestSupport.h"

#include "Tapestrel/apps/alfred/AlfredFiles.h"
#include "Tapestrel/apps/alfred/AlfredThemeStore.h"
#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeStore.h"
#include "Tapestrel/apps/obsidian/ObsidianVaultStore.h"
#include "testsupport/HostileFiles.h"

#include <gtest/gtest.h>

#include <functional>

using namespace std::chrono_literals;
using namespace ThemeTests;

// Another application's theme file or list may be a named pipe that nothing ever writes: it reads
// as no file, at once, and the files beside it still count.
TEST_F(ThemeAppTest, APipeInPlaceOfAnApplicationsThemeFileOrListGivesNothingAtOnce)
{
    const QString alfredPrefs = QStringLiteral("Library/Application Support/Alfred/prefs.json");
    const QString alfredThemes = QStringLiteral("Alfred.alfredpreferences/themes/");
    const QString notePlanThemes =
        QStringLiteral("Library/Containers/co.noteplan.NotePlan/Data/Library/Application Support/"
                       "co.noteplan.NotePlan-setapp/Themes/");
    NotePlanAppConfig &notePlan = *registries.appConfigStore().requireConfig<NotePlanAppConfig>();

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
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        test.layOut();
        const QString pipe = home.filePath(test.pipe);
        ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
        QStringList found;
        EXPECT_LT(TestSupport::timeWithPipes({pipe}, [&] { found = test.read(); }), 1s);
        EXPECT_EQ(found, test.expected);
        EXPECT_FALSE(QFileInfo(pipe).isFile());
        QFile::remove(pipe);
    }
}
