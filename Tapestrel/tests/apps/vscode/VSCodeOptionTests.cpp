#include "VSCodeFixture.h"

#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"
#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"
#include "Tapestrel/apps/vscode/VSCodeThemePicker.h"
#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"
#include "Tapestrel/model/Profile.h"

#include "platform/UserDefaults.h"
#include "testsupport/OutsideWriter.h"

#include <sys/stat.h>

#include <thread>

using namespace std::chrono_literals;

namespace {

class VSCodeOptionTest : public VSCodeFixture
{
protected:
    void apply(const QString &value) { ThemeAppTest::apply(model, value); }
    QString applyError(const QString &value) { return ThemeAppTest::applyError(model, value); }
    std::optional<QString> current() { return read(model); }
    static ino_t inode(const QString &path)
    {
        struct stat status
        {
        };
        stat(QFile::encodeName(path).constData(), &status);
        return status.st_ino;
    }

    VSCodeThemeOptionModel model {registries.appConfigStore().requireConfig<VSCodeAppConfig>()};
};

} // namespace

TEST_F(VSCodeOptionTest, KeyFollowsAutomaticSchemeAndAppearanceAndOnlyThatValueChanges)
{
    struct Case
    {
        const char *name;
        const char *autoDetect; // the member's text, or none
        bool dark;
        const char *key;
    };
    const QList<Case> cases {
        {"automatic on, dark", "true", true, "workbench.preferredDarkColorTheme"},
        {"automatic on, light", "true", false, "workbench.preferredLightColorTheme"},
        {"automatic off, dark", "false", true, "workbench.colorTheme"},
        {"automatic absent, dark", nullptr, true, "workbench.colorTheme"},
        {"automatic as text, dark", "\"true\"", true, "workbench.colorTheme"},
    };
    QDir().mkpath(code("User"));
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QByteArray autoDetect = test.autoDetect
            ? QByteArray("\t\"window.autoDetectColorScheme\": ") + test.autoDetect + ",\n"
            : QByteArray();
        auto file = [&](const QByteArray &dark, const QByteArray &light, const QByteArray &color) {
            return "// Mine\n{\n" + autoDetect + "\t\"workbench.preferredDarkColorTheme\": " + dark
                + ", /* dark */\n\t\"workbench.preferredLightColorTheme\": " + light
                + ",\n\t\"[Tokyo Night]\": {\"workbench.colorTheme\": 1},\n\t\"workbench.colorTheme\": "
                + color + ",\n\t\"editor.fontSize\": 14,\n}";
        };
        const QByteArray before = file("\"Red\"", "[\"odd\"]", "\"Monokai\"");
        writeSettings(VSCodeProfile::defaultProfile(), before);
        setDark(test.dark);
        const QString key = QString::fromLatin1(test.key);
        EXPECT_EQ(current(),
                  key.contains("Light")      ? std::nullopt
                      : key.contains("Dark") ? std::optional<QString>("Red")
                                             : std::optional<QString>("Monokai"));

        apply(QStringLiteral("No Such Theme"));
        const QByteArray theme = "\"No Such Theme\"";
        EXPECT_EQ(contents(settingsFile(VSCodeProfile::defaultProfile())),
                  file(key.contains("Dark") ? theme : "\"Red\"", key.contains("Light") ? theme : "[\"odd\"]",
                       key == VSCodeProfileSettings::colorThemeKey ? theme : "\"Monokai\""));
        EXPECT_EQ(current(), "No Such Theme");
        apply(QString()); // the empty text names no theme: nothing is written
        EXPECT_EQ(current(), "No Such Theme");
    }
}

TEST_F(VSCodeOptionTest, MissingFilesAreMadeAndDoNotSetOrDamagedFilesLeaveVSCodeAlone)
{
    // VS Code has never run here: nothing is made and nothing is reported.
    apply(QStringLiteral("Abyss"));
    EXPECT_FALSE(QFileInfo::exists(code()));
    // No settings file in the profile's folder: one is made holding the theme, as VS Code makes it.
    const QString file = settingsFile(VSCodeProfile::defaultProfile());
    QDir().mkpath(code("User"));
    apply(QStringLiteral("Abyss"));
    EXPECT_EQ(contents(file), "{\n    \"workbench.colorTheme\": \"Abyss\"\n}");
    EXPECT_EQ(current(), "Abyss");

    writeSettings(VSCodeProfile::defaultProfile(), "{\"workbench.colorTheme\": \"Red\"}");
    const ino_t before = inode(file);
    apply(VSCodeThemeOptionModel::doNotSetValue);
    EXPECT_EQ(inode(file), before); // not even rewritten
    EXPECT_EQ(contents(file), "{\"workbench.colorTheme\": \"Red\"}");

    // Not JSON with comments (for long: no save under way): the error names the file, which stays as
    // it was; reading gives none.
    const QByteArray broken = "{\"workbench.colorTheme\": \"Red\" \"x\": 1}";
    writeSettings(VSCodeProfile::defaultProfile(), broken);
    TestSupport::OutsideWriter::age(file, 61);
    EXPECT_TRUE(applyError("Abyss").contains(file));
    EXPECT_EQ(contents(file), broken);
    EXPECT_EQ(current(), std::nullopt);
    // Nor is a link that cannot be followed a missing file.
    QFile::remove(file);
    for (const QString &target : {file, code("nowhere/settings.json")}) {
        ASSERT_TRUE(QFile::link(target, file));
        EXPECT_TRUE(applyError("Abyss").contains(file));
        EXPECT_TRUE(QFileInfo(file).isSymLink());
        QFile::remove(file);
    }

    // The chosen profile's file is the one written; without a chosen profile nothing is.
    writeProfiles({work()});
    writeSettings(VSCodeProfile::defaultProfile(), "{}");
    writeSettings(work(), "{}\n");
    Platform::UserDefaults::standard().setValue(VSCodeSelectedProfileController::profileIDKey, work().id);
    apply(QStringLiteral("Abyss"));
    EXPECT_EQ(contents(settingsFile(work())), "{\n    \"workbench.colorTheme\": \"Abyss\"\n}\n");
    EXPECT_EQ(contents(settingsFile(VSCodeProfile::defaultProfile())), "{}");
    Platform::UserDefaults::standard().setValue(VSCodeSelectedProfileController::profileIDKey, "gone");
    apply(QStringLiteral("Red"));
    EXPECT_EQ(contents(settingsFile(work())), "{\n    \"workbench.colorTheme\": \"Abyss\"\n}\n");
    EXPECT_EQ(current(), std::nullopt);

    // The chosen profile's folder is gone: the apply fails and names it.
    Platform::UserDefaults::standard().setValue(VSCodeSelectedProfileController::profileIDKey, work().id);
    ASSERT_TRUE(QDir(code(profileFolder(work()))).removeRecursively());
    EXPECT_TRUE(applyError("Red").contains("“" + code(profileFolder(work())) + "”, does not exist"));
}

// An editor that stalls in its save, having written only the first comment line, which alone parses
// as settings without any: the apply waits as long as the save may still be under way (here one
// second) and applies on the save that comes in time; otherwise it writes nothing and says the file
// is being saved.
TEST_F(VSCodeOptionTest, AnEditorStalledAfterTheFirstCommentLineIsWaitedFor)
{
    using TestSupport::OutsideWriter;
    const TestSupport::SettleTime settle(1s);
    const QString file = settingsFile(VSCodeProfile::defaultProfile());
    const QByteArray saved = "{\n\t\"editor.fontSize\": 15,\n\t\"workbench.colorTheme\": \"Red\"\n}\n";
    QDir().mkpath(code("User"));
    for (const auto finished : {300ms, 1300ms}) {
        SCOPED_TRACE(finished.count());
        const bool applied = finished < 1s;
        OutsideWriter::writeInPlace(file, "// Settings\n");
        std::thread save([&] {
            std::this_thread::sleep_for(finished);
            OutsideWriter::writeInPlace(file, "// Settings\n" + saved);
        });
        const QString error = applyError("Abyss");
        save.join();
        EXPECT_EQ(error.isEmpty(), applied) << error.toStdString();
        EXPECT_TRUE(applied || error.contains("another program may still be saving it"));
        EXPECT_EQ(contents(file),
                  "// Settings\n" + (applied ? QByteArray(saved).replace("\"Red\"", "\"Abyss\"") : saved));
    }
}

TEST_F(VSCodeOptionTest, PickerFollowsTheChosenProfileAndNamesPreferBuiltInThemes)
{
    QDir().mkpath(code("User"));
    writeProfiles({work()});
    const QString mine =
        installExtension("me.mine-1.0.0", manifest({{"Monokai", "My Monokai"}, {"mint", "Mint"}}));
    const QString other = installExtension("me.other-1.0.0", manifest({{"other", "Other"}}));
    writeExtensionsList(VSCodeProfile::defaultProfile(), {{"me.mine", mine}});
    writeExtensionsList(work(), {{"me.other", other}});

    auto *vscodePicker = qobject_cast<VSCodeThemePicker *>(picker(model, "mint"));
    ASSERT_NE(vscodePicker, nullptr);
    Option *option = pickerProfile.option(model.key());
    const Profile &profile = pickerProfile;
    EXPECT_EQ(titles(vscodePicker).mid(0, 4), QStringList({"Don't set", "-", "Built-in Themes", "Abyss"}));
    EXPECT_EQ(titles(vscodePicker).mid(18), QStringList({"Custom Themes", "My Monokai", "Mint"}));
    EXPECT_EQ(vscodePicker->selectedValue(), "mint");

    // A theme both built in and contributed is reported as the built-in one.
    EXPECT_EQ(model.themeInfo(&profile), (ThemeInfo {"Visual Studio Code", "Mint", false}));
    option->setValue(QStringLiteral("Monokai"));
    EXPECT_EQ(model.themeInfo(&profile), (ThemeInfo {"Visual Studio Code", "Monokai", true}));
    option->setValue(QStringLiteral("gone"));
    EXPECT_EQ(model.themeInfo(&profile), std::nullopt);
    ASSERT_TRUE(vscodePicker->choose("Don't set"));
    EXPECT_EQ(option->value(), "<do-not-set>");
    EXPECT_EQ(model.themeInfo(&profile), std::nullopt);

    // Choosing another VS Code profile elsewhere switches the custom themes of the open picker.
    VSCodeSelectedProfileController().setProfile(work());
    QCoreApplication::processEvents();
    EXPECT_EQ(titles(vscodePicker).mid(18), QStringList({"Custom Themes", "Other"}));
    option->setValue(QStringLiteral("other"));
    EXPECT_EQ(model.themeInfo(&profile), (ThemeInfo {"Visual Studio Code", "Other", false}));
    write(code("User/globalStorage/storage.json"), "{\"userDataProfiles\": [{"); // being rewritten
    EXPECT_EQ(model.themeInfo(&profile), std::nullopt); // no profile can be chosen now
    EXPECT_EQ(vscodePicker->themeStore()->defaultThemes().size(), 15);
}
