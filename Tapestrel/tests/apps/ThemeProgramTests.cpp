#include "Tapestrel/tests/automation/RunningProgram.h"

#include "Tapestrel/apps/iterm/ITermColorEntries.h"
#include "Tapestrel/apps/iterm/ITermThemeStore.h"
#include "platform/PropertyList.h"

namespace {

const QString notePlan = QStringLiteral("co.noteplan.NotePlan");
const QString iterm = QStringLiteral("com.googlecode.iterm2");
const QString alfredAppearance =
    QStringLiteral("Alfred.alfredpreferences/preferences/local/c0ffee/appearance/prefs.plist");

// The real program in a home with NotePlan (theme "dracula" in light appearance), an iTerm2 that is
// not running, whose default profile holds the light colours of "Solarized Dark", Terminal with "Pro"
// for new and starting windows, and Alfred with its dark theme.
class ThemeProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        home.installApp("NotePlan", notePlan);
        home.installApp("iTerm", iterm);
        home.installApp("Alfred", "com.runningwithcrayons.Alfred");
        Platform::UserDefaults::suite(notePlan)->setValue("themeLight", "dracula");
        Platform::UserDefaults::suite(iterm)->setValue("Default Bookmark Guid", "G1");
        setDefaultProfile("Solarized Dark");
        Platform::UserDefaults *terminal = Platform::UserDefaults::suite("com.apple.Terminal");
        terminal->setValue("Default Window Settings", "Pro");
        terminal->setValue("Startup Window Settings", "Pro");
        home.writeFile("Library/Application Support/Alfred/prefs.json",
                       R"({"current": "~/Alfred.alfredpreferences", "localhash": "c0ffee"})");
        home.writeFile(alfredAppearance,
                       Platform::PropertyList::toXml(QVariantMap {{"lightthemeuid", "theme.bundled.dark"}}));
    }

    static void setDefaultProfile(const QString &preset)
    {
        QVariantMap profile {{"Guid", "G1"}, {"Name", "Default"}};
        ITermColorEntries::copy(ITermThemeStore().theme(preset)->values, profile, false);
        Platform::UserDefaults::suite(iterm)->setValue("New Bookmarks", QVariantList {profile});
    }

    static QVariantMap defaultProfile()
    {
        Platform::UserDefaults *preferences = Platform::UserDefaults::suite(iterm);
        preferences->synchronize();
        return preferences->value("New Bookmarks").toList().value(0).toMap();
    }
};

} // namespace

TEST_F(ThemeProgramTest, ApplyingAProfileRestoresNotePlansThemeAndITermsColours)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const TestSupport::ProcessRun created = tapestrel({"create", "Evening"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    Platform::UserDefaults::suite(notePlan)->setValue("themeLight", "monokai");
    setDefaultProfile("Tango Light");
    const TestSupport::ProcessRun applied = tapestrel({"apply", created.out.section('\t', 0, 0)});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();

    Platform::UserDefaults *preferences = Platform::UserDefaults::suite(notePlan);
    preferences->synchronize();
    EXPECT_EQ(preferences->value("themeLight"), "dracula");
    EXPECT_TRUE(ITermColorEntries::matches(ITermThemeStore().theme("Solarized Dark")->values,
                                           defaultProfile(), false));
    EXPECT_EQ(defaultProfile().value("Name"), "Default");
}

TEST_F(ThemeProgramTest, AnApplicationsPreferencesThatCannotBeWrittenFailOnlyItsSettings)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    // The name holds a placeholder of the report's own text.
    const TestSupport::ProcessRun created = tapestrel({"create", "Night %2"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    // Each time one application's preferences are a folder; nothing fails with none.
    const struct
    {
        QString folder;
        QStringList failed; // the settings named on standard error
    } rows[] = {
        {"", {}},
        {"Library/Preferences/com.apple.Terminal.plist",
         {"Tools › Terminal › Default Theme", "Tools › Terminal › Startup Theme"}},
        {"Library/Preferences/com.googlecode.iterm2.plist", {"Tools › iTerm › Theme"}},
        {"Library/Preferences/co.noteplan.NotePlan.plist", {"Apps › NotePlan › Theme"}},
        {alfredAppearance, {"Apps › Alfred › Theme"}},
    };
    Platform::UserDefaults &global = Platform::UserDefaults::global();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.folder.toStdString());
        // The desktop turned dark since: the (light) profile brings it back.
        ASSERT_TRUE(global.setValue("AppleInterfaceStyle", "Dark"));
        const QByteArray saved = row.folder.isEmpty() ? QByteArray() : home.readFile(row.folder);
        if (!row.folder.isEmpty()) {
            ASSERT_TRUE(QFile::remove(home.filePath(row.folder)));
            ASSERT_TRUE(QDir().mkpath(home.filePath(row.folder)));
        }

        const TestSupport::ProcessRun applied = tapestrel({"apply", "Night %2"});
        EXPECT_TRUE(applied.out.isEmpty()) << applied.out.toStdString();
        global.synchronize();
        EXPECT_NE(global.string("AppleInterfaceStyle"), "Dark");
        if (row.failed.isEmpty()) {
            EXPECT_EQ(applied.exitCode, 0);
            EXPECT_EQ(applied.err, "");
            continue;
        }
        EXPECT_EQ(applied.exitCode, 1);
        const QStringList lines = applied.err.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), row.failed.size() + 1) << applied.err.toStdString();
        EXPECT_EQ(lines[0],
                  QStringLiteral("tapestrel: Applied “Night %2”, but %1 of its settings could not "
                                 "be changed:")
                      .arg(row.failed.size()));
        for (int index = 0; index < row.failed.size(); ++index)
            EXPECT_TRUE(lines[index + 1].startsWith("  " + row.failed[index] + ": "))
                << lines[index + 1].toStdString();
        EXPECT_TRUE(QFileInfo(home.filePath(row.folder)).isDir());
        ASSERT_TRUE(QDir(home.filePath(row.folder)).removeRecursively());
        home.writeFile(row.folder, saved);
    }
}

TEST_F(ThemeProgramTest, AProfileMadeWithoutVSCodeAndObsidianLeavesThemAloneOnceInstalled)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    const TestSupport::ProcessRun created = tapestrel({"create", "Before"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    const QString settings = "Library/Application Support/Code/User/settings.json";
    const QString appearance = "Vaults/Work/.obsidian/appearance.json";
    const QByteArray theirSettings = "{\n  \"workbench.colorTheme\": \"Solarized Dark\",\n"
                                     "  \"workbench.preferredDarkColorTheme\": \"Abyss\"\n}\n";
    const QByteArray theirAppearance = R"({"cssTheme":"Minimal","accentColor":"#7f6df2"})";
    home.writeFile(settings, theirSettings);
    home.writeFile(appearance, theirAppearance);
    home.writeFile("Library/Application Support/obsidian/obsidian.json",
                   QStringLiteral(R"({"vaults":{"5e1f":{"path":"%1","ts":1712345678901,"open":true}}})")
                       .arg(home.filePath("Vaults/Work"))
                       .toUtf8());

    const TestSupport::ProcessRun applied = tapestrel({"apply", "Before"});
    EXPECT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_EQ(home.readFile(settings), theirSettings);
    EXPECT_EQ(home.readFile(appearance), theirAppearance);
}
