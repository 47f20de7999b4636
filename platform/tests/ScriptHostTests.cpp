#include "platform/ScriptHost.h"

#include "platform/GnomeDesktop.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include "testsupport/GnomeSettings.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/PropertyListFixtures.h"
#include "testsupport/SelectedDesktop.h"
#include "testsupport/TempHome.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using Platform::ScriptHost;
using Platform::ScriptResult;
using Platform::ScriptValue;
using Platform::UserDefaults;

namespace {

QString systemEvents(const QString &command)
{
    return QStringLiteral("tell application \"System Events\"\n    ") + command
        + QStringLiteral("\nend tell");
}

class ScriptHostTest : public TestSupport::TempHomeTest
{
protected:
    ScriptResult run(const QString &source) { return ScriptHost::shared().execute(source); }
    ScriptValue get(const QString &command)
    {
        const ScriptResult result = run(systemEvents(command));
        EXPECT_TRUE(result.succeeded) << command.toStdString() << ": " << result.errorMessage.toStdString();
        return result.value;
    }
    void set(const QString &command)
    {
        const ScriptResult result = run(systemEvents(command));
        EXPECT_TRUE(result.succeeded) << command.toStdString() << ": " << result.errorMessage.toStdString();
        EXPECT_EQ(result.value.kind(), ScriptValue::Kind::Null);
    }
    UserDefaults &dock() { return *UserDefaults::suite("com.apple.dock"); }
};

TEST_F(ScriptHostTest, DarkModeLivesInTheGlobalDomain)
{
    EXPECT_EQ(get("tell appearance preferences to get dark mode"), ScriptValue::boolean(false));

    // The appearance apply script ends with four blanks after "end tell".
    const ScriptResult dark =
        run(systemEvents("tell appearance preferences to set dark mode to yes") + "    ");
    ASSERT_TRUE(dark.succeeded) << dark.errorMessage.toStdString();
    EXPECT_EQ(UserDefaults::global().persistentValue("AppleInterfaceStyle"), QVariant("Dark"));
    EXPECT_EQ(get("tell appearance preferences to get dark mode"), ScriptValue::boolean(true));

    set("tell appearance preferences to set dark mode to no");
    EXPECT_FALSE(UserDefaults::global().persistentValue("AppleInterfaceStyle").isValid());
    EXPECT_EQ(get("tell appearance preferences to get dark mode"), ScriptValue::boolean(false));

    // What the defaults tool writes, a script reads; only the exact text "Dark" is dark.
    UserDefaults::global().setValue("AppleInterfaceStyle", "dark");
    EXPECT_EQ(get("tell appearance preferences to get dark mode"), ScriptValue::boolean(false));
    UserDefaults::global().setValue("AppleInterfaceStyle", "Dark");
    EXPECT_EQ(get("tell appearance preferences to get dark mode"), ScriptValue::boolean(true));
}

// A write that fails says why in the writer's words, and the domain keeps what it said.
TEST_F(ScriptHostTest, AFailedWriteSaysWhy)
{
    const QByteArray large = "<key>text</key><string>" + QByteArray(9'000'000, 'a') + "\xC3\xA9</string>";
    const QByteArray dark = "<key>AppleInterfaceStyle</key><string>Dark</string>";
    const QList<std::tuple<const char *, QByteArray, QString, const char *, ScriptValue>> writes {
        {".GlobalPreferences", large, "appearance preferences to set dark mode to yes", "dark mode",
         ScriptValue::boolean(false)},
        {".GlobalPreferences", dark + large, "appearance preferences to set dark mode to no", "dark mode",
         ScriptValue::boolean(true)},
        {"com.apple.dock", large, "dock preferences to set screen edge to left", "screen edge",
         ScriptValue::enumerated("bott")},
    };
    for (const auto &[domain, members, command, property, kept] : writes) {
        const QString file = QStringLiteral("Library/Preferences/%1.plist").arg(domain);
        home.writeFile(file, TestSupport::PropertyListFixtures::xmlDictionary(members));
        const ScriptResult result = run(systemEvents("tell " + command));
        EXPECT_FALSE(result.succeeded) << command.toStdString();
        EXPECT_TRUE(result.errorMessage.contains("larger than the 16777216 bytes"))
            << result.errorMessage.toStdString();
        EXPECT_EQ(get("tell " + command.section(" to ", 0, 0) + " to get " + property), kept);
    }
}

TEST_F(ScriptHostTest, DockPreferencesRoundTrip)
{
    // Screen edge: the constants come back as System Events' four-character codes.
    EXPECT_EQ(get("tell dock preferences to get screen edge").stringValue(), "bott");
    for (const auto &[edge, code] : {std::pair {"left", "left"}, {"right", "righ"}, {"bottom", "bott"}}) {
        set(QStringLiteral("tell dock preferences to set screen edge to ") + edge);
        EXPECT_EQ(get("tell dock preferences to get screen edge").stringValue(), code);
    }

    // Size: a fraction of the largest tile size, read back as the number that was set.
    for (const char *size : {"0.5", "0.35", "1.0", "0.0", "0.123"}) {
        set(QStringLiteral("tell dock preferences to set dock size to ") + size);
        EXPECT_EQ(get("tell dock preferences to get dock size").doubleValue(), QString(size).toDouble())
            << size;
    }
    set("tell dock preferences to set dock size to 0.5");
    EXPECT_DOUBLE_EQ(dock().real("tilesize"), 72.0);
    dock().setValue("tilesize",
                    qint64(128)); // as `defaults write com.apple.dock tilesize -int 128` leaves it
    EXPECT_EQ(get("tell dock preferences to get dock size").doubleValue(), 1.0);
    set("tell dock preferences to set dock size to 7"); // out of range: the largest size
    EXPECT_EQ(get("tell dock preferences to get dock size").doubleValue(), 1.0);

    // The three switches; the menu bar's lives in the global domain.
    for (const char *property : {"autohide", "magnification", "autohide menu bar"}) {
        const QString name = QString::fromUtf8(property);
        EXPECT_EQ(get("tell dock preferences to get " + name), ScriptValue::boolean(false)) << property;
        set("tell dock preferences to set " + name + " to yes");
        EXPECT_EQ(get("tell dock preferences to get " + name), ScriptValue::boolean(true)) << property;
        set("tell dock preferences to set " + name + " to no");
        EXPECT_EQ(get("tell dock preferences to get " + name), ScriptValue::boolean(false)) << property;
    }
    set("tell dock preferences to set autohide menu bar to yes");
    EXPECT_EQ(UserDefaults::global().persistentValue("_HIHideMenuBar"), QVariant(true));
    EXPECT_EQ(dock().persistentValue("autohide"), QVariant(false));
}

TEST_F(ScriptHostTest, FirstDesktopPicture)
{
    // No picture the system can name.
    EXPECT_EQ(get("tell first desktop to get picture").kind(), ScriptValue::Kind::Null);
    UserDefaults::suite("com.apple.desktop")
        ->setValue(
            "Background",
            QVariantMap {{"default", QVariantMap {{"ImageFilePath", "/Library/Desktop Pictures/Sky.heic"}}}});
    EXPECT_EQ(get("tell first desktop to get picture").stringValue(), "/Library/Desktop Pictures/Sky.heic");
    EXPECT_FALSE(run(systemEvents("tell first desktop to set picture to \"/x.png\"")).succeeded);
}

TEST_F(ScriptHostTest, BadScriptsFailWithoutThrowingOrChangingAnything)
{
    const auto inDock = [](const char *command) {
        return systemEvents(QStringLiteral("tell dock preferences to ") + command);
    };
    const std::pair<QString, int> cases[] = {
        {"tell application \"System Events\"\n    tell dock preferences to set autohide to yes",
         ScriptHost::syntaxError},
        {"tell application \"System Events\n    tell dock preferences to set autohide to yes\nend tell",
         ScriptHost::syntaxError},
        {inDock("set autohide to yes") + "\nend tell", ScriptHost::syntaxError},
        {"tell application System Events to get autohide", ScriptHost::syntaxError},
        {inDock("set autohide to {yes}"), ScriptHost::syntaxError},
        {"display dialog \"hello\"", ScriptHost::syntaxError},
        {"tell application \"Finder\" to set autohide to yes", ScriptHost::cannotGetError},
        {"tell application \"Alfred\" to set theme \"Alfred\"", ScriptHost::cannotGetError}, // not installed
        {"tell dock preferences to set autohide to yes", ScriptHost::cannotGetError}, // no System Events
        {inDock("set hidden to yes"), ScriptHost::cannotSetError},
        {inDock("get dark mode"), ScriptHost::cannotGetError},
        {inDock("set screen edge to top"), ScriptHost::cannotMakeError},
        {inDock("set autohide to 1"), ScriptHost::cannotMakeError},
        {inDock("set dock size to \"big\""), ScriptHost::cannotMakeError},
    };
    for (const auto &[source, error] : cases) {
        const ScriptResult result = run(source);
        EXPECT_FALSE(result.succeeded) << source.toStdString();
        EXPECT_EQ(result.errorNumber, error) << source.toStdString();
        EXPECT_FALSE(result.errorMessage.isEmpty()) << source.toStdString();
        EXPECT_EQ(result.value.kind(), ScriptValue::Kind::Null) << source.toStdString();
    }
    EXPECT_FALSE(dock().persistentValue("autohide").isValid());
    EXPECT_FALSE(dock().persistentValue("orientation").isValid());

    // An error at run time stops the script after what it changed before the error.
    const ScriptResult partly = run(systemEvents("tell dock preferences to set autohide to yes\n"
                                                 "    tell dock preferences to set screen edge to top"));
    EXPECT_FALSE(partly.succeeded);
    EXPECT_EQ(dock().persistentValue("autohide"), QVariant(true));

    const ScriptResult empty = run("-- nothing to do\n");
    EXPECT_TRUE(empty.succeeded);
    EXPECT_EQ(empty.value.kind(), ScriptValue::Kind::Null);
}

TEST_F(ScriptHostTest, RefusedAutomationFailsEveryScript)
{
    const QString read = systemEvents("tell appearance preferences to get dark mode");
    const QString write = systemEvents("tell dock preferences to set autohide to yes");
    ASSERT_TRUE(run(read).succeeded);

    home.writeFile("Library/Workspace/AutomationRefused", "");
    EXPECT_TRUE(ScriptHost::isAutomationRefused());
    EXPECT_EQ(run(read).errorNumber, ScriptHost::notAuthorizedError);
    EXPECT_FALSE(run(write).succeeded);
    QFile::remove(home.filePath("Library/Workspace/AutomationRefused"));
    EXPECT_TRUE(run(read).succeeded);

    qputenv("TAPESTREL_REFUSE_AUTOMATION", "1");
    EXPECT_FALSE(run(read).succeeded);
    EXPECT_FALSE(run(write).succeeded);
    qputenv("TAPESTREL_REFUSE_AUTOMATION", "0");
    EXPECT_TRUE(run(read).succeeded);
    qunsetenv("TAPESTREL_REFUSE_AUTOMATION");
    EXPECT_FALSE(dock().persistentValue("autohide").isValid());

    ScriptHost::shared().clearHistory();
    run(read);
    EXPECT_EQ(ScriptHost::shared().history(), QStringList {read});
}

TEST_F(ScriptHostTest, ChangesReachTheRealDesktopWhereItHasTheSameSetting)
{
    TestSupport::GnomeSettings gnome;
    ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString();
    auto desktop = std::make_shared<Platform::GnomeDesktop>(
        Platform::GnomeDesktop::Store {gnome.schemaFolder(), gnome.keyfile()});
    TestSupport::SelectedDesktop selected(desktop);
    const QString dockPath = QStringLiteral("org/gnome/shell/extensions/dash-to-dock");

    set("tell appearance preferences to set dark mode to yes");
    EXPECT_EQ(UserDefaults::global().persistentValue("AppleInterfaceStyle"), QVariant("Dark"))
        << "the emulated home is still written";
    EXPECT_EQ(gnome.value("org/gnome/desktop/interface", "color-scheme"), "'prefer-dark'");
    set("tell dock preferences to set screen edge to right");
    EXPECT_EQ(gnome.value(dockPath, "dock-position"), "'RIGHT'");
    set("tell dock preferences to set dock size to 0.5");
    EXPECT_EQ(gnome.value(dockPath, "dash-max-icon-size"), "40");
    set("tell dock preferences to set autohide to yes");
    EXPECT_EQ(gnome.value(dockPath, "dock-fixed"), "false");
    const QByteArray keyfile = gnome.keyfileBytes();
    set("tell dock preferences to set magnification to yes");
    set("tell dock preferences to set autohide menu bar to yes");
    EXPECT_EQ(gnome.keyfileBytes(), keyfile) << "the desktop has no such settings";

    desktop->setDockPosition("left");
    desktop->setDockAutoHide(false);
    desktop->setDockSize(1.0);
    EXPECT_EQ(get("tell dock preferences to get screen edge").stringValue(), "left");
    EXPECT_EQ(get("tell dock preferences to get autohide"), ScriptValue::boolean(false));
    EXPECT_EQ(get("tell dock preferences to get dock size").doubleValue(), 1.0);
    desktop->setPicture("/pictures/Dunes.png");
    EXPECT_EQ(get("tell first desktop to get picture").stringValue(), "/pictures/Dunes.png");

    // A script that keeps to the emulated state leaves the desktop alone; the desktop still says dark.
    const ScriptResult light = ScriptHost::shared().execute(
        systemEvents("tell appearance preferences to set dark mode to no"), ScriptHost::Reach::emulatedHome);
    ASSERT_TRUE(light.succeeded);
    EXPECT_FALSE(UserDefaults::global().persistentValue("AppleInterfaceStyle").isValid());
    EXPECT_EQ(gnome.value("org/gnome/desktop/interface", "color-scheme"), "'prefer-dark'");
    EXPECT_EQ(get("tell appearance preferences to get dark mode"), ScriptValue::boolean(true));

    // A desktop that does not take the change: the emulated state changes, and the script says why.
    TestSupport::SelectedDesktop locked(std::make_shared<Platform::GnomeDesktop>(
        Platform::GnomeDesktop::Store {gnome.schemaFolder(), {}, true}));
    const ScriptResult refused = run(systemEvents("tell dock preferences to set screen edge to right"));
    EXPECT_TRUE(refused.succeeded);
    EXPECT_TRUE(refused.desktopFailure.contains("locked")) << refused.desktopFailure.toStdString();
    EXPECT_EQ(dock().persistentValue("orientation"), QVariant("right"));
}

class AlfredScriptTest : public ScriptHostTest
{
protected:
    void SetUp() override
    {
        home.writeFile("Applications/Alfred 5.app/Contents/Info.plist",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                       "<key>CFBundleIdentifier</key><string>com.runningwithcrayons.Alfred</string>"
                       "<key>CFBundleName</key><string>Alfred</string></dict></plist>");
        const QString synced = home.filePath("Dropbox/Alfred.alfredpreferences");
        home.writeFile("Library/Application Support/Alfred/prefs.json",
                       QJsonDocument(QJsonObject {{"current", synced}, {"localhash", "abc123"}}).toJson());
        home.writeFile("Dropbox/Alfred.alfredpreferences/themes/theme.custom.A1/theme.json",
                       R"({"alfredtheme": {"name": "Night \"Owl\" \\ Blue"}})");
        appearance = "Dropbox/Alfred.alfredpreferences/preferences/local/abc123/appearance/prefs.plist";
    }
    QVariantMap appearanceValues()
    {
        return Platform::PropertyList::parseDictionary(home.readFile(appearance)).value_or(QVariantMap());
    }
    QString appearance;
};

TEST_F(AlfredScriptTest, SetsTheThemeOfTheShowingAppearance)
{
    ASSERT_TRUE(run("tell application \"Alfred\" to set theme \"Alfred macOS \"").succeeded);
    EXPECT_EQ(appearanceValues(), (QVariantMap {{"lightthemeuid", "theme.bundled.osx"}}));

    UserDefaults::global().setValue("AppleInterfaceStyle", "Dark");
    home.writeFile(appearance,
                   Platform::PropertyList::toBinary(QVariantMap {{"lightthemeuid", "x"}, {"other", 3}}));
    const ScriptResult custom = run(R"(tell application "Alfred" to set theme "Night \"Owl\" \\ Blue")");
    ASSERT_TRUE(custom.succeeded) << custom.errorMessage.toStdString();
    EXPECT_EQ(
        appearanceValues(),
        (QVariantMap {{"lightthemeuid", "x"}, {"other", qint64(3)}, {"darkthemeuid", "theme.custom.A1"}}));

    // An unknown theme is Alfred's error; a file that cannot be read is never replaced.
    EXPECT_FALSE(run("tell application \"Alfred\" to set theme \"Alfred macOS\"").succeeded);
    home.writeFile(appearance, "garbage");
    EXPECT_FALSE(run("tell application \"Alfred\" to set theme \"Alfred\"").succeeded);
    EXPECT_EQ(home.readFile(appearance), "garbage");
    // Nor is one that the XML form cannot hold, and the error says why.
    for (const QString &text : {QString(QChar(0xD800)), QStringLiteral("a\x01")}) {
        const QByteArray unwritable = Platform::PropertyList::toBinary(QVariantMap {{"x", text}});
        ASSERT_FALSE(unwritable.isEmpty());
        home.writeFile(appearance, unwritable);
        const ScriptResult refused = run("tell application \"Alfred\" to set theme \"Alfred\"");
        EXPECT_FALSE(refused.succeeded);
        EXPECT_TRUE(refused.errorMessage.contains("XML cannot hold")) << refused.errorMessage.toStdString();
        EXPECT_EQ(home.readFile(appearance), unwritable);
    }

    // Named pipes in place of Alfred's files are passed over at once.
    QFile::remove(home.filePath(appearance));
    const QString themePipe =
        home.filePath("Dropbox/Alfred.alfredpreferences/themes/theme.custom.A0/theme.json");
    const QString pointerPipe = home.filePath("Library/Application Support/Alfred/prefs.json");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(themePipe));
    ScriptResult besidePipe;
    EXPECT_LT(
        TestSupport::timeWithPipes(
            {themePipe},
            [&] { besidePipe = run(R"(tell application "Alfred" to set theme "Night \"Owl\" \\ Blue")"); }),
        TestSupport::stuckOnAPipe);
    EXPECT_TRUE(besidePipe.succeeded) << besidePipe.errorMessage.toStdString();
    ASSERT_TRUE(QFile::remove(pointerPipe));
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pointerPipe));
    ScriptResult noPointer;
    EXPECT_LT(
        TestSupport::timeWithPipes(
            {pointerPipe}, [&] { noPointer = run("tell application \"Alfred\" to set theme \"Alfred\""); }),
        TestSupport::stuckOnAPipe);
    EXPECT_FALSE(noPointer.succeeded);
}

} // namespace
