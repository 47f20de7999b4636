#include "VSCodeFixture.h"

#include "Tapestrel/apps/vscode/VSCodeLocations.h"
#include "Tapestrel/apps/vscode/VSCodeProfileSettingsController.h"
#include "Tapestrel/apps/vscode/VSCodeProfileStore.h"
#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

namespace {

const QString key = VSCodeSelectedProfileController::profileIDKey;

std::optional<QString> stored()
{
    return Platform::UserDefaults::standard().string(key);
}

using ThemeTests::names;
using VSCodeProfilesTest = VSCodeFixture;

} // namespace

TEST_F(VSCodeProfilesTest, ListsTheDefaultProfileThenTheNamedOnesOfStorage)
{
    // VS Code not installed: the default profile alone, chosen and stored.
    EXPECT_EQ(names(VSCodeProfileStore().profiles()), QStringList({"Default"}));
    {
        VSCodeSelectedProfileController controller;
        EXPECT_EQ(controller.profile(), VSCodeProfile::defaultProfile());
        EXPECT_EQ(stored(), "default");
        EXPECT_EQ(VSCodeLocations::settingsPath(VSCodeProfile::defaultProfile()), std::nullopt);
    }

    write(code("User/globalStorage/storage.json"), R"({"userDataProfiles": [
        {"location": "-3f1a", "name": "Work", "icon": "briefcase"},
        {"location": "b2", "useDefaultFlags": {}},
        {"location": "../../elsewhere", "name": "Escape"},
        {"location": 7, "name": "Number"},
        {"location": "c3", "name": "Home"}]})");
    const VSCodeProfileStore store;
    EXPECT_TRUE(store.listWasRead());
    EXPECT_EQ(names(store.profiles()), QStringList({"Default", "Work", "Home"}));
    EXPECT_EQ(store.profiles().at(1), work());

    // Damaged or of another shape: the default profile alone, and the list counts as unread.
    for (const QByteArray &bytes :
         {QByteArray(R"({"userDataProfiles": [{"location": "-3f1a", "name": "Wo)"), QByteArray("{}"),
          QByteArray(R"({"userDataProfiles": {"location": "x"}})"),
          QByteArray(R"({"userDataProfiles": [1]})")}) {
        write(code("User/globalStorage/storage.json"), bytes);
        const VSCodeProfileStore damaged;
        EXPECT_FALSE(damaged.listWasRead()) << bytes.toStdString();
        EXPECT_EQ(names(damaged.profiles()), QStringList({"Default"}));
    }
}

TEST_F(VSCodeProfilesTest, ChoiceIsResolvedKeptInStepAndRemovedOnlyWhenTheProfileIsGone)
{
    writeProfiles({work()});
    Platform::UserDefaults::standard().setValue(key, work().id);
    VSCodeSelectedProfileController first;
    VSCodeSelectedProfileController second;
    EXPECT_EQ(first.profile(), work());

    // Choosing in one place reaches every other controller; unrelated settings reload nothing.
    int secondChanges = 0;
    QObject::connect(&second, &VSCodeSelectedProfileController::profileChanged, [&] { ++secondChanges; });
    first.setProfile(VSCodeProfile::defaultProfile());
    EXPECT_EQ(stored(), "default");
    deliverNotifications();
    EXPECT_EQ(second.profile(), VSCodeProfile::defaultProfile());
    EXPECT_EQ(secondChanges, 1);
    Platform::UserDefaults::standard().setValue(QStringLiteral("showDockIcon"), false);
    deliverNotifications();
    EXPECT_EQ(secondChanges, 1);
    second.setProfile(work());
    deliverNotifications();
    EXPECT_EQ(first.profile(), work());

    // While VS Code rewrites its list, the list cannot be read: the choice is kept.
    write(code("User/globalStorage/storage.json"), "{\"userDataProfiles\": [{\"loca");
    first.reload();
    EXPECT_EQ(first.profile(), std::nullopt);
    EXPECT_EQ(stored(), work().id);
    deliverNotifications();
    EXPECT_EQ(second.profile(), work());
    writeProfiles({work()});
    VSCodeSelectedProfileController third;
    EXPECT_EQ(third.profile(), work());

    // The VS Code profile deleted: the resolving controller drops the choice, the others then
    // bring everyone to the default profile, and a controller made later chooses it too.
    writeProfiles({});
    first.reload();
    EXPECT_EQ(first.profile(), std::nullopt);
    EXPECT_EQ(stored(), std::nullopt);
    deliverNotifications();
    EXPECT_EQ(first.profile(), VSCodeProfile::defaultProfile());
    EXPECT_EQ(second.profile(), VSCodeProfile::defaultProfile());
    EXPECT_EQ(stored(), "default");
    EXPECT_EQ(VSCodeSelectedProfileController().profile(), VSCodeProfile::defaultProfile());

    // An empty stored text counts as none.
    Platform::UserDefaults::standard().setValue(key, QString());
    EXPECT_EQ(VSCodeSelectedProfileController().profile(), VSCodeProfile::defaultProfile());
    EXPECT_EQ(stored(), "default");
}

TEST_F(VSCodeProfilesTest, SettingsFileIsReadWithItsTypesAndWrittenInPlaceOfOneValue)
{
    const VSCodeProfile profile = work();
    writeProfiles({profile});
    QString error;
    EXPECT_EQ(VSCodeProfileSettingsController::open(profile, &error), std::nullopt); // no file, no error
    EXPECT_TRUE(error.isEmpty());

    const QByteArray before =
        "// Work\r\n{\r\n\t\"workbench.colorTheme\": 3,\r\n\t\"window.autoDetectColorScheme\": "
        "\"true\", // text\r\n\t\"workbench.preferredDarkColorTheme\": \"Red\",\r\n}";
    writeSettings(profile, before);
    auto controller = VSCodeProfileSettingsController::open(profile);
    ASSERT_TRUE(controller.has_value());
    EXPECT_EQ(controller->settings,
              (VSCodeProfileSettings {"Red", std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(controller->save(), std::nullopt); // nothing changed: not even rewritten
    controller->settings.lightTheme = QStringLiteral("Quiet Light");
    controller->settings.autoDetectColorScheme = std::nullopt;
    EXPECT_EQ(controller->save(), std::nullopt);
    EXPECT_EQ(
        contents(settingsFile(profile)),
        "// Work\r\n{\r\n\t\"workbench.colorTheme\": 3,\r\n\t\"window.autoDetectColorScheme\": \"true\", // "
        "text\r\n\t\"workbench.preferredDarkColorTheme\": "
        "\"Red\",\r\n\t\"workbench.preferredLightColorTheme\": "
        "\"Quiet Light\"\r\n}");
}

TEST_F(VSCodeProfilesTest, SettingsFileIsReplacedAtomicallyAndNeverWhenItDoesNotParse)
{
    const VSCodeProfile profile = VSCodeProfile::defaultProfile();
    const QString file = settingsFile(profile);

    // A settings file kept elsewhere and linked in: the link stays and its target changes.
    const QString target = home.filePath("dotfiles/settings.json");
    write(target, "{\"a\": 1}\n");
    QDir().mkpath(code("User"));
    ASSERT_TRUE(QFile::link(target, file));
    auto controller = VSCodeProfileSettingsController::open(profile);
    ASSERT_TRUE(controller.has_value());
    controller->settings.colorTheme = QStringLiteral("Abyss");
    EXPECT_EQ(controller->save(), std::nullopt);
    EXPECT_TRUE(QFileInfo(file).isSymLink());
    EXPECT_EQ(contents(target), "{\"a\": 1, \"workbench.colorTheme\": \"Abyss\"}\n");

    // Changed by VS Code between reading and writing: the newer file is the one changed.
    controller = VSCodeProfileSettingsController::open(profile);
    write(target, "{\"b\": 2, \"workbench.colorTheme\": \"Red\"}");
    controller->settings.colorTheme = QStringLiteral("Monokai");
    EXPECT_EQ(controller->save(), std::nullopt);
    EXPECT_EQ(contents(target), "{\"b\": 2, \"workbench.colorTheme\": \"Monokai\"}");

    // Not JSON with comments: never rewritten; the error names the file.
    QFile::remove(file);
    const QByteArray broken = "{\n  \"workbench.colorTheme\": \"Red\"\n  \"editor.fontSize\": 12\n}\n";
    writeSettings(profile, broken);
    QString error;
    EXPECT_EQ(VSCodeProfileSettingsController::open(profile, &error), std::nullopt);
    EXPECT_TRUE(error.contains(file)) << error.toStdString();
    EXPECT_TRUE(error.contains("line 3")) << error.toStdString();
    EXPECT_EQ(contents(file), broken);

    // Huge or nested past all reason: the same.
    for (const QByteArray &bytes : {"{\"a\": \"" + QByteArray(33 * 1024 * 1024, 'x') + "\"}",
                                    "{\"a\": " + QByteArray(5000, '[') + QByteArray(5000, ']') + "}"}) {
        writeSettings(profile, bytes);
        EXPECT_EQ(VSCodeProfileSettingsController::open(profile, &error), std::nullopt);
        EXPECT_TRUE(error.contains(file) && (error.contains("too large") || error.contains("too deeply")))
            << error.toStdString();
        EXPECT_EQ(QFileInfo(file).size(), bytes.size());
    }

    // A file that cannot be written: the error names it, nothing changes.
    writeSettings(profile, "{}");
    controller = VSCodeProfileSettingsController::open(profile);
    QFile::setPermissions(file, QFile::ReadOwner);
    controller->settings.colorTheme = QStringLiteral("Red");
    const auto failure = controller->save();
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    if (getuid() != 0) { // root may write anyway
        ASSERT_TRUE(failure.has_value());
        EXPECT_TRUE(failure->contains(file));
        EXPECT_EQ(contents(file), "{}");
    }
}
