#include "Tapestrel/tests/automation/RunningProgram.h"

#include "Tapestrel/apps/iterm/ITermColorEntries.h"
#include "Tapestrel/apps/iterm/ITermThemeStore.h"
#include "platform/PropertyList.h"

namespace {

const QString iterm = QStringLiteral("com.googlecode.iterm2");
const QString alfredAppearance =
    QStringLiteral("Alfred.alfredpreferences/preferences/local/c0ffee/appearance/prefs.plist");
const QString code = QStringLiteral("Library/Application Support/Code/");
const QString workSettings = code + QStringLiteral("User/profiles/-3f1a/settings.json");
const QString obsidianAppearance = QStringLiteral("Vaults/Work/.obsidian/appearance.json");

// A VS Code settings file as users keep it: comments, a trailing comma, CRLF, no final newline.
QByteArray vscodeSettings(const QByteArray &theme)
{
    return "// Work\r\n{\r\n\t\"editor.fontSize\": 14, // big\r\n\t\"workbench.colorTheme\": \"" + theme
        + "\",\r\n\t\"[Tokyo Night]\": {\"editor.background\": \"#000\"},\r\n}";
}

QByteArray obsidianFile(const QByteArray &theme)
{
    return "{\n  \"accentColor\": \"#7f6df2\",\n  \"cssTheme\": \"" + theme
        + "\",\n  \"baseFontSize\": 16,\n  \"enabledCssSnippets\": [\n    \"wide\"\n  ]\n}";
}

// The real program in a light home where each application has a theme of its own: NotePlan, an
// iTerm2 that is not running whose default profile holds the light colours of "Solarized Dark",
// Terminal, Alfred, Bear, ForkLift, Xcode, VS Code (a named profile chosen for the program) and an
// Obsidian vault.
class ThemesProgramTest : public AutomationTests::RunningProgramTest
{
protected:
    void prepareHome() override
    {
        home.installApp("NotePlan", "co.noteplan.NotePlan");
        home.installApp("iTerm", iterm);
        home.installApp("Alfred", "com.runningwithcrayons.Alfred");
        home.installApp("ForkLift", "com.binarynights.ForkLift");
        set("co.noteplan.NotePlan", {{"themeLight", "dracula"}});
        set(iterm, {{"Default Bookmark Guid", "G1"}});
        setDefaultProfile("Solarized Dark");
        set("com.apple.Terminal", {{"Default Window Settings", "Pro"}});
        set("net.shinyfrog.bear", {{"SFAppThemeName", "Solarized Light"}, {"SFAppDarkThemeName", "Nord"}});
        set("com.binarynights.ForkLift", {{"theme", "Polar Night"}});
        set("com.apple.dt.Xcode", {{"XCFontAndColorCurrentTheme", "Dusk.xccolortheme"}});
        home.writeFile("Library/Application Support/Alfred/prefs.json",
                       R"({"current": "~/Alfred.alfredpreferences", "localhash": "c0ffee"})");
        home.writeFile(alfredAppearance,
                       Platform::PropertyList::toXml(QVariantMap {{"lightthemeuid", "theme.bundled.dark"}}));
        home.writeFile(code + "User/globalStorage/storage.json",
                       R"({"userDataProfiles": [{"location": "-3f1a", "name": "Work"}]})");
        home.writeFile(workSettings, vscodeSettings("Red"));
        home.writeFile(code + "User/settings.json", "{\"workbench.colorTheme\": \"Default Dark+\"}");
        set(QString(), {{"apps.vscode.profileID", "-3f1a"}});
        home.writeFile(obsidianAppearance, obsidianFile("Minimal"));
        home.writeFile("Library/Application Support/obsidian/obsidian.json",
                       QStringLiteral(R"({"vaults":{"5e1f":{"path":"%1","ts":1712345678901,"open":true}}})")
                           .arg(home.filePath("Vaults/Work"))
                           .toUtf8());
    }

    // Writes values of a domain; the program's own without a name.
    static void set(const QString &domain, const QVariantMap &values)
    {
        Platform::UserDefaults *suite =
            domain.isEmpty() ? &Platform::UserDefaults::standard() : Platform::UserDefaults::suite(domain);
        ASSERT_NE(suite, nullptr);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            suite->setValue(it.key(), it.value());
        ASSERT_TRUE(suite->synchronize());
    }

    static QVariant valueOf(const QString &domain, const QString &key)
    {
        Platform::UserDefaults *suite = Platform::UserDefaults::suite(domain);
        suite->synchronize();
        return suite->value(key);
    }

    static void setDefaultProfile(const QString &preset)
    {
        QVariantMap profile {{"Guid", "G1"}, {"Name", "Default"}};
        ITermColorEntries::copy(ITermThemeStore().theme(preset)->values, profile, false);
        set(iterm, {{"New Bookmarks", QVariantList {profile}}});
    }
};

} // namespace

TEST_F(ThemesProgramTest, ApplyingAProfileRestoresEveryApplicationsThemeOfTheAppearance)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    // A profile made from the current settings takes each application's theme of the light slot.
    const TestSupport::ProcessRun created = tapestrel({"create", "Evening"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    set("co.noteplan.NotePlan", {{"themeLight", "monokai"}});
    setDefaultProfile("Tango Light");
    set("net.shinyfrog.bear", {{"SFAppThemeName", "Dracula"}});
    set("com.binarynights.ForkLift", {{"theme", "Sand"}});
    set("com.apple.Terminal", {{"Default Window Settings", "Basic"}});
    set("com.apple.dt.Xcode", {{"XCFontAndColorCurrentTheme", "Classic.xccolortheme"}});
    home.writeFile(workSettings, vscodeSettings("Monokai"));
    home.writeFile(obsidianAppearance, obsidianFile("Things"));

    const TestSupport::ProcessRun applied = tapestrel({"apply", created.out.section('\t', 0, 0)});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_EQ(valueOf("co.noteplan.NotePlan", "themeLight"), "dracula");
    const QVariantMap itermProfile = valueOf(iterm, "New Bookmarks").toList().value(0).toMap();
    EXPECT_TRUE(
        ITermColorEntries::matches(ITermThemeStore().theme("Solarized Dark")->values, itermProfile, false));
    EXPECT_EQ(itermProfile.value("Name"), "Default");
    EXPECT_EQ(valueOf("net.shinyfrog.bear", "SFAppThemeName"), "Solarized Light");
    EXPECT_EQ(valueOf("net.shinyfrog.bear", "SFAppDarkThemeName"), "Nord") << "the dark slot is left alone";
    EXPECT_EQ(valueOf("com.binarynights.ForkLift", "theme"), "Polar Night");
    EXPECT_EQ(valueOf("com.apple.Terminal", "Default Window Settings"), "Pro");
    EXPECT_FALSE(valueOf("com.apple.Terminal", "Startup Window Settings").isValid())
        << "Don't set writes nothing";
    EXPECT_EQ(valueOf("com.apple.dt.Xcode", "XCFontAndColorCurrentTheme"), "Dusk.xccolortheme");
    EXPECT_EQ(home.readFile(workSettings), vscodeSettings("Red"));
    EXPECT_EQ(home.readFile(code + "User/settings.json"), "{\"workbench.colorTheme\": \"Default Dark+\"}");
    EXPECT_EQ(home.readFile(obsidianAppearance), obsidianFile("Minimal"));
}

TEST_F(ThemesProgramTest, AnApplicationsPreferencesThatCannotBeWrittenFailOnlyItsSettings)
{
    ASSERT_TRUE(waitUntilProgramAnswers());
    // The name holds a placeholder of the report's own text.
    const TestSupport::ProcessRun created = tapestrel({"create", "Night %2"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    // Each time one application's preferences are a folder; nothing fails with none.
    const struct
    {
        QString folder;
        QString failed; // the setting named on standard error
    } rows[] = {
        {"", ""},
        {"Library/Preferences/com.apple.Terminal.plist", "Tools › Terminal › Default Theme"},
        {"Library/Preferences/com.googlecode.iterm2.plist", "Tools › iTerm › Theme"},
        {"Library/Preferences/co.noteplan.NotePlan.plist", "Apps › NotePlan › Theme"},
        {alfredAppearance, "Apps › Alfred › Theme"},
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
        ASSERT_EQ(lines.size(), 2) << applied.err.toStdString();
        EXPECT_EQ(lines[0], "tapestrel: Applied “Night %2”, but 1 of its settings could not be changed:");
        EXPECT_TRUE(lines[1].startsWith("  " + row.failed + ": ")) << lines[1].toStdString();
        EXPECT_TRUE(QFileInfo(home.filePath(row.folder)).isDir());
        ASSERT_TRUE(QDir(home.filePath(row.folder)).removeRecursively());
        home.writeFile(row.folder, saved);
    }
}
