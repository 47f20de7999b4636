#include "ThemeTestSupport.h"

#include "Tapestrel/apps/iterm/ITermColorEntries.h"
#include "Tapestrel/apps/iterm/ITermThemeOptionModel.h"
#include "Tapestrel/apps/iterm/ITermThemeStore.h"
#include "Tapestrel/system/AccentColor.h"
#include "Tapestrel/system/AccentColorOptionModel.h"
#include "Tapestrel/system/AppTerminator.h"
#include "Tapestrel/system/Appearance.h"
#include "Tapestrel/system/AppearanceOptionModel.h"

#include "platform/Alerts.h"
#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"
#include "platform/Workspace.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/OutsideWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimer>

#include <gtest/gtest.h>

using Platform::Workspace;

namespace {

using ThemeTests::names;

const QString iterm = QStringLiteral("com.googlecode.iterm2");
const QString guid = QStringLiteral("7B3C1E2A-0000-4000-8000-000000000001");

QVariantMap colour(double red, double green, double blue)
{
    return {{"Color Space", "sRGB"},
            {"Red Component", red},
            {"Green Component", green},
            {"Blue Component", blue},
            {"Alpha Component", 1}};
}

class ITermThemeTest : public ThemeTests::ThemeAppTest
{
protected:
    ITermThemeTest() { installApp("iTerm", iterm); }

    static Platform::UserDefaults &preferences() { return *Platform::UserDefaults::suite(iterm); }

    // iTerm2's profiles: another profile, then the default one holding `extra`.
    void setBookmarks(const QVariantMap &extra = {})
    {
        QVariantMap profile {{"Guid", guid}, {"Name", "Default"}, {"Normal Font", "Menlo 12"}};
        profile.insert(extra);
        const QVariantMap other {{"Guid", "OTHER"}, {"Name", "Work"}};
        preferences().setValue("New Bookmarks", QVariantList {other, profile});
        preferences().setValue("Default Bookmark Guid", guid);
    }

    QVariantMap storedDefaultProfile()
    {
        return preferences().value("New Bookmarks").toList().value(1).toMap();
    }

    qint64 launch()
    {
        Platform::RunningApplication application;
        application.bundleIdentifier = iterm;
        application.localizedName = "iTerm2";
        application.bundlePath = home.filePath("Applications/iTerm.app");
        return Workspace::shared().addRunningApplication(application);
    }

    QList<qint64> running() const
    {
        QList<qint64> pids;
        for (const auto &application : Workspace::shared().runningApplications(iterm))
            pids.append(application.processIdentifier);
        return pids;
    }

    ITermAppConfig &config = *registries.appConfigStore().requireConfig<ITermAppConfig>();
    ITermThemeOptionModel model {&config, iterm};
    Platform::ScriptedAlertAnswerer alerts;
};

TEST_F(ITermThemeTest, PresetsComeFromTheResourcesInTableOrderAndCustomOnesByName)
{
    preferences().setValue("Custom Color Presets",
                           QVariantMap {{"zenburn", QVariantMap {{"Background Color", colour(0, 0, 0)}}},
                                        {"Nord", QVariantMap {}},
                                        {"Broken", "not a preset"},
                                        {"", QVariantMap {}},
                                        {"  ", QVariantMap {}},
                                        {"Default", QVariantMap {{"Ansi 0 Color", colour(1, 1, 1)}}}});
    ITermThemeStore store;
    EXPECT_EQ(names(store.defaultThemes()),
              QStringList({"Default", "Dark Background", "Light Background", "Pastel (Dark Background)",
                           "Smoooooth", "Solarized Dark", "Solarized Light", "Tango Dark", "Tango Light"}));
    for (const ITermTheme &theme : store.defaultThemes()) {
        EXPECT_EQ(theme.values.size(), 23) << theme.name.toStdString();
        EXPECT_EQ(theme.values.value("Background Color").toMap().value("Color Space"), "sRGB");
    }
    const QVariantMap solarizedBase03 = store.defaultThemes().at(5).values.value("Background Color").toMap();
    EXPECT_EQ(solarizedBase03.value("Red Component"), 0.0);
    EXPECT_EQ(solarizedBase03.value("Blue Component"), 0.211765); // #002b36
    // Upper case sorts before lower case; an entry that is no dictionary is no preset.
    EXPECT_EQ(names(store.customThemes()), QStringList({"Default", "Nord", "zenburn"}));
    // The built-in preset wins over a custom one of the same name.
    EXPECT_EQ(store.theme("Default")->values.size(), 23);
    EXPECT_FALSE(store.theme("default"));

    // A preset file that is missing or not a dictionary drops only that preset.
    QDir folder(home.filePath("presets"));
    folder.mkpath(".");
    for (const auto &preset : ITermThemeStore::builtInPresets())
        QFile::copy(":/iterm/" + preset.resource + ".itermcolors",
                    folder.filePath(preset.resource + ".itermcolors"));
    QFile::remove(folder.filePath("iTerm2 Smoooooth.itermcolors"));
    home.writeFile("presets/iTerm2 Tango Light.itermcolors", "<plist><array/></plist>");
    QFile::remove(folder.filePath("iTerm2 Default.itermcolors"));
    home.writeFile("presets/iTerm2 Default.itermcolors", "{ not a property list");
    ITermThemeStore partial(folder.path());
    EXPECT_EQ(names(partial.defaultThemes()),
              QStringList({"Dark Background", "Light Background", "Pastel (Dark Background)",
                           "Solarized Dark", "Solarized Light", "Tango Dark"}));
}

TEST_F(ITermThemeTest, EntriesCompareAsPropertyListsAndCopyIntoOneAppearance)
{
    using namespace ITermColorEntries;
    EXPECT_TRUE(equal(1, 1.0));
    EXPECT_TRUE(equal(qint64(2), 2u));
    EXPECT_TRUE(equal(true, 1));
    EXPECT_FALSE(equal(1, 1.0000001));
    EXPECT_FALSE(equal("1", 1));
    EXPECT_FALSE(equal(QVariantList {1}, QVariantList {1, 2}));
    EXPECT_TRUE(
        equal(QVariantMap {{"a", QVariantList {1, "x"}}}, QVariantMap {{"a", QVariantList {1.0, "x"}}}));
    EXPECT_FALSE(equal(QVariantMap {{"a", 1}}, QVariantMap {{"b", 1}}));

    const QVariantMap preset {{"Background Color", colour(0, 0, 0)}, {"Cursor Color", colour(1, 0, 0)}};
    QVariantMap profile {{"Background Color (Light)", colour(1, 1, 1)}, {"Background Color", "kept"}};
    EXPECT_FALSE(matches(preset, profile, true));
    EXPECT_TRUE(copy(preset, profile, true));
    EXPECT_EQ(profile.value("Background Color (Dark)"), preset.value("Background Color"));
    EXPECT_EQ(profile.value("Cursor Color (Dark)"), preset.value("Cursor Color"));
    EXPECT_EQ(profile.value("Background Color (Light)"), QVariant(colour(1, 1, 1)));
    EXPECT_EQ(profile.value("Background Color"), "kept");
    EXPECT_TRUE(matches(preset, profile, true));
    EXPECT_FALSE(matches(preset, profile, false));
    EXPECT_FALSE(copy(preset, profile, true));
    EXPECT_TRUE(matches({}, profile, false)); // a preset without entries matches everything

    // Newer presets carry entries of their own for each appearance: those are the appearance's, the
    // plain entry only stands in where there is none, and no name gets the suffix twice.
    const QVariantMap modern {
        {"Background Color", colour(0.5, 0.5, 0.5)},   {"Background Color (Dark)", colour(0, 0, 0)},
        {"Background Color (Light)", colour(1, 1, 1)}, {"Cursor Color", colour(1, 0, 0)},
        {"Link Color (Light)", colour(0, 0, 1)},       {"Badge Color (Dark) (Dark)", colour(0, 1, 0)}};
    for (const bool dark : {true, false}) {
        const QString own = dark ? " (Dark)" : " (Light)";
        QVariantMap into {{"Name", "Default"}};
        EXPECT_TRUE(copy(modern, into, dark));
        QStringList expected {"Background Color" + own, "Cursor Color" + own, "Name"};
        if (!dark)
            expected.append("Link Color (Light)");
        expected.sort();
        EXPECT_EQ(into.keys(), expected) << own.toStdString();
        EXPECT_EQ(into.value("Background Color" + own), modern.value("Background Color" + own));
        EXPECT_EQ(into.value("Cursor Color" + own), modern.value("Cursor Color"));
        EXPECT_TRUE(matches(modern, into, dark));
        EXPECT_FALSE(copy(modern, into, dark));
        // Read back the same way: the plain entry's colour is not the appearance's own.
        into.insert("Background Color" + own, modern.value("Background Color"));
        EXPECT_FALSE(matches(modern, into, dark));
    }
}

TEST_F(ITermThemeTest, AppliesIntoTheDefaultProfileForTheAppearanceAndReadsItBack)
{
    setBookmarks({{"Background Color (Dark)", colour(0.5, 0.5, 0.5)}});
    setDark(true);
    EXPECT_EQ(read(model), std::nullopt);

    apply(model, "Solarized Light"); // iTerm2 is not running: written at once, nothing asked
    EXPECT_TRUE(alerts.alerts().isEmpty());
    const QVariantMap profile = storedDefaultProfile();
    const QVariantMap preset = ITermThemeStore().theme("Solarized Light")->values;
    EXPECT_TRUE(ITermColorEntries::matches(preset, profile, true));
    EXPECT_FALSE(profile.contains("Background Color (Light)"));
    EXPECT_EQ(profile.value("Normal Font"), "Menlo 12");
    const QVariantList bookmarks = preferences().value("New Bookmarks").toList();
    EXPECT_EQ(bookmarks.value(0).toMap().value("Name"), "Work");
    EXPECT_EQ(preferences().value("Default Bookmark Guid"), guid);
    EXPECT_FALSE(preferences().contains("Custom Color Presets"));

    EXPECT_EQ(read(model), "Solarized Light");
    setDark(false);
    EXPECT_EQ(read(model), std::nullopt);
    apply(model, "Tango Light");
    setDark(true);
    EXPECT_EQ(read(model), "Solarized Light");
    setDark(false);
    EXPECT_EQ(read(model), "Tango Light");

    // Applying what the profile already holds asks nothing and writes nothing, even while iTerm2 runs.
    const qint64 pid = launch();
    const QByteArray before = home.readFile("Library/Preferences/com.googlecode.iterm2.plist");
    apply(model, "Tango Light");
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(home.readFile("Library/Preferences/com.googlecode.iterm2.plist"), before);
    EXPECT_EQ(running(), QList<qint64> {pid});

    apply(model, ""); // "Don't set"
    EXPECT_TRUE(alerts.alerts().isEmpty());
}

TEST_F(ITermThemeTest, TheTwoErrorsAndReadsOfABrokenSetup)
{
    const QString noProfile = "Cannot read iTerm default profile";
    EXPECT_EQ(applyError(model, "Default"), noProfile); // iTerm2 never ran: no profiles at all
    EXPECT_EQ(read(model), std::nullopt);

    setBookmarks();
    preferences().remove("Default Bookmark Guid");
    EXPECT_EQ(applyError(model, "Default"), noProfile);
    preferences().setValue("Default Bookmark Guid", "NO-SUCH-GUID");
    EXPECT_EQ(applyError(model, "Default"), noProfile);
    EXPECT_EQ(read(model), std::nullopt);
    preferences().setValue("Default Bookmark Guid", guid);
    for (const QVariant &bookmarks :
         {QVariant(QVariantList {QVariantMap {{"Guid", guid}}, "stray text"}),
          QVariant(QVariantMap {{"Guid", guid}}), QVariant(QVariantList {QVariantMap {{"Guid", 7}}})}) {
        preferences().setValue("New Bookmarks", bookmarks);
        EXPECT_EQ(applyError(model, "Default"), noProfile);
    }

    setBookmarks();
    EXPECT_EQ(applyError(model, "No Such Preset"), "Cannot find the given iTerm theme");
    EXPECT_EQ(applyError(model, "default"), "Cannot find the given iTerm theme");
    EXPECT_EQ(storedDefaultProfile().size(), 3); // nothing written by any failure
}

TEST_F(ITermThemeTest, ACustomPresetImportedAfterStartAppliesAtOnce)
{
    setBookmarks();
    EXPECT_TRUE(model.themeStore()->customThemes().isEmpty());
    const QVariantMap nord {{"Background Color", colour(0.18, 0.2, 0.25)}};
    preferences().setValue(
        "Custom Color Presets",
        QVariantMap {{"Nord", nord}, {"Default", QVariantMap {{"Ansi 0 Color", colour(1, 1, 1)}}}});

    // The picker and the export see it too; a custom preset named like a built-in one is the built-in.
    const QStringList rows = titles(picker(model), true);
    ASSERT_EQ(rows.size(), 1 + 1 + 9 + 1 + 2);
    EXPECT_EQ(rows.mid(0, 2), QStringList({"Don't set=", "Built-in Themes"})) << "no divider after Don't set";
    EXPECT_EQ(rows.mid(11), QStringList({"Custom Themes", "Default=Default", "Nord=Nord"}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Nord").get()), (ThemeInfo {"iTerm", "Nord", false}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Default").get()),
              (ThemeInfo {"iTerm", "Default", true}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "").get()), std::nullopt);

    apply(model, "Nord");
    EXPECT_EQ(storedDefaultProfile().value("Background Color (Light)"), nord.value("Background Color"));
    EXPECT_EQ(read(model), "Nord");
}

TEST_F(ITermThemeTest, RelaunchAsksWaitsForTheExitWritesAndReopens)
{
    setBookmarks();
    const qint64 pid = launch();

    // Agree: iTerm2 has exited when the profiles are written, and runs again afterwards.
    bool runningWhileWritten = true;
    auto connection = QObject::connect(&preferences(), &Platform::UserDefaults::changed,
                                       [&] { runningWhileWritten = !running().isEmpty(); });
    alerts.answer("Re-launch iTerm2");
    apply(model, "Tango Dark");
    QObject::disconnect(connection);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().message,
              "To change iTerm theme, it needs to be re-launched. Do you want to continue?");
    EXPECT_FALSE(runningWhileWritten);
    EXPECT_EQ(read(model), "Tango Dark");
    ASSERT_EQ(running().size(), 1);
    EXPECT_NE(running().first(), pid);

    // Skip: written while iTerm2 keeps running.
    alerts.answer("Skip");
    apply(model, "Solarized Light");
    EXPECT_EQ(alerts.alerts().size(), 2);
    EXPECT_EQ(read(model), "Solarized Light");
    EXPECT_EQ(running().size(), 1);
}

TEST_F(ITermThemeTest, AnITermThatDoesNotQuitKeepsItsProfilesAndFailsTheApply)
{
    setBookmarks();
    const qint64 pid = launch();
    // This iTerm2 ignores being told to quit: it is back in the table at once.
    bool reviving = false;
    QObject guard;
    QObject::connect(&Workspace::shared(), &Workspace::runningApplicationsChanged, &guard, [&] {
        if (reviving || running().contains(pid))
            return;
        reviving = true;
        Platform::RunningApplication application;
        application.processIdentifier = pid;
        application.bundleIdentifier = iterm;
        Workspace::shared().addRunningApplication(application);
        reviving = false;
    });
    alerts.answer("Re-launch iTerm2");
    EXPECT_EQ(applyError(model, "Tango Dark"),
              "iTerm did not quit in time, so its theme was not changed. Quit iTerm and try again.");
    EXPECT_EQ(storedDefaultProfile().size(), 3);
    EXPECT_EQ(running(), QList<qint64> {pid});
}

// The profiles are read again when they are written, while iTerm2 is stopped: a default profile that
// left the list meanwhile (iTerm2 saved it on its way out) fails the apply, and nothing is written.
TEST_F(ITermThemeTest, ADefaultProfileGoneFromTheListAtTheWriteFailsItAndWritesNothing)
{
    setBookmarks();
    launch();
    const QString file = "Library/Preferences/com.googlecode.iterm2.plist";
    QByteArray left;
    QObject guard;
    QObject::connect(&Workspace::shared(), &Workspace::runningApplicationsChanged, &guard, [&] {
        if (!left.isNull() || !running().isEmpty())
            return;
        preferences().setValue("New Bookmarks", QVariantList {QVariantMap {{"Guid", "OTHER"}}});
        left = home.readFile(file);
    });
    alerts.answer("Re-launch iTerm2");
    EXPECT_EQ(applyError(model, "Tango Dark"), "Cannot read iTerm default profile");
    ASSERT_FALSE(left.isNull());
    EXPECT_EQ(home.readFile(file), left);
}

// Other programs' saves held half-done (their files emptied just now: the program's own domain, iTerm2's
// on its way out, the global domain) are waited for off the window's thread. While an iTerm2 theme, an
// accent colour and the dark appearance apply, and the window writes its own preferences, its event
// loop never stops for long, and nothing is written over the held saves of the other programs.
TEST_F(ITermThemeTest, SavesHeldByOtherProgramsNeverStopTheWindow)
{
    using namespace std::chrono_literals;
    const auto settle = Platform::AtomicFile::setSettleTime(3s);
    const auto restore = qScopeGuard([&] { Platform::AtomicFile::setSettleTime(settle); });
    setBookmarks();
    Platform::UserDefaults &own = Platform::UserDefaults::standard();
    own.setValue("activeEditorTab", "apps");
    Platform::UserDefaults::global().setValue("AppleLanguages", QVariantList {"en"});
    const QString itermFile = preferences().filePath();
    QObject guard;
    QObject::connect(&Workspace::shared(), &Workspace::runningApplicationsChanged, &guard, [&] {
        if (running().isEmpty() && QFileInfo(itermFile).size() > 0)
            TestSupport::OutsideWriter::truncate(itermFile);
    });
    launch();
    alerts.answer("Re-launch iTerm2");
    TestSupport::OutsideWriter::truncate(own.filePath());
    TestSupport::OutsideWriter::truncate(Platform::UserDefaults::global().filePath());

    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    tick.start(10);
    ITermThemeOptionModel theme(&config, iterm);
    AccentColorOptionModel accent;
    AppearanceOptionModel appearance;
    const auto attempt = [](QCoro::Task<void> task) -> QCoro::Task<void> {
        try {
            co_await std::move(task);
        } catch (const std::exception &) {
            // refused while the saves are held: what matters here is how long the window waited
        }
    };
    const auto all = [&]() -> QCoro::Task<void> {
        const auto flag = std::make_shared<bool>(false);
        QCoro::Task<void> themed = attempt(theme.apply("Tango Dark", {}, flag));
        QCoro::Task<void> accented = attempt(accent.apply(toRawValue(AccentColor::red), {}, flag));
        QCoro::Task<void> darkened = attempt(appearance.apply(toRawValue(Appearance::dark), {}, flag));
        own.setValue("activeEditorTab", "system"); // the window's View › Editor Tab, meanwhile
        co_await std::move(themed);
        co_await std::move(accented);
        co_await std::move(darkened);
    };
    TestSupport::runTask(all(), 30s);
    EXPECT_LT(longest, 500) << "the window's event loop stopped for " << longest << " ms";
    EXPECT_EQ(own.string("activeEditorTab"), "system");
    EXPECT_EQ(QFileInfo(itermFile).size(), 0);
    EXPECT_EQ(QFileInfo(Platform::UserDefaults::global().filePath()).size(), 0);
}

// A named pipe in place of the table of running applications: no iTerm2 is known to run, and the
// apply neither waits for the pipe nor asks.
TEST_F(ITermThemeTest, APipeForTheRunningApplicationsIsNoReasonToWait)
{
    setBookmarks();
    const QString table = Workspace::runningApplicationsFile();
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(table));
    // A wait for the pipe would end only when the watchdog plays its writer, far past any busy machine.
    EXPECT_LT(TestSupport::timeWithPipes(
                  {table}, [&] { apply(model, "Tango Dark"); }, std::chrono::seconds(30)),
              std::chrono::seconds(15));
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(read(model), "Tango Dark");
}

} // namespace
