#include "ThemeTestSupport.h"

#include "Tapestrel/model/AppConfigStore.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/ProfileController.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

namespace {

// Every file of the home but the program's own settings, with its bytes.
QMap<QString, QByteArray> contents(const QDir &root)
{
    QMap<QString, QByteArray> files;
    const QString own = root.filePath("Library/Preferences/com.quorvane.Tapestrel.plist");
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(own))
            continue;
        QFile file(path);
        files.insert(root.relativeFilePath(path), file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return files;
}

// The files that were added, removed or changed.
QStringList changed(const QMap<QString, QByteArray> &before, const QMap<QString, QByteArray> &after)
{
    QStringList paths;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (after.value(it.key(), "<removed>") != it.value())
            paths.append(it.key());
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            paths.append(it.key());
    }
    return paths;
}

// Every edition of every application installed, each with a theme of the user's in every slot.
class DontSetTest : public ThemeTests::ThemeAppTest
{
protected:
    DontSetTest()
    {
        for (AppConfig *config : registries.appConfigStore().configs()) {
            int edition = 0;
            for (const AppBundleID &bundleID : config->bundleIDs()) {
                installApp(config->appName() + QString::number(++edition), bundleID.id);
                for (const char *slot :
                     {"theme", "themeLight", "themeDark", "SFAppThemeName", "SFAppDarkThemeName",
                      "XCFontAndColorCurrentTheme", "XCFontAndColorCurrentDarkTheme"})
                    writeDomain(bundleID.id, slot, "Mine");
            }
        }
        home.writeFile("Library/Application Support/Code/User/settings.json",
                       "{\n  \"workbench.colorTheme\": \"Solarized Dark\"\n}\n");
        home.writeFile("Vaults/Work/.obsidian/appearance.json",
                       R"({"cssTheme":"Minimal","accentColor":"#7f6df2"})");
        home.writeFile("Library/Application Support/obsidian/obsidian.json",
                       QStringLiteral(R"({"vaults":{"5e1f":{"path":"%1","ts":1712345678901,"open":true}}})")
                           .arg(home.filePath("Vaults/Work"))
                           .toUtf8());
    }
};

} // namespace

TEST_F(DontSetTest, DontSetLeavesEveryApplicationsThemeAsItIs)
{
    int checked = 0;
    for (const bool dark : {false, true}) {
        setDark(dark);
        takeWrites();
        takeScripts();
        takeNotifications();
        const auto before = contents(QDir(home.path()));
        for (OptionModel *model : registries.optionStore().options()) {
            Profile profile(QStringLiteral("Quiet"));
            std::unique_ptr<QWidget> widget(
                model->makePicker(profile.findOrCreateOption(model->key()), &profile, nullptr));
            auto *picker = qobject_cast<ThemePicker *>(widget.get());
            if (!picker)
                continue;
            const ThemePicker::Entry first = picker->entries().value(0);
            ASSERT_EQ(first.title, ThemePicker::doNotSetTitle()) << model->key().toStdString();
            apply(*model, first.value, &profile);
            ++checked;
        }
        EXPECT_EQ(takeWrites().size(), 0);
        EXPECT_EQ(takeScripts().join("\n").toStdString(), "");
        EXPECT_EQ(takeNotifications().join(", ").toStdString(), "");
        EXPECT_EQ(changed(before, contents(QDir(home.path()))).join(", ").toStdString(), "");
    }
    // Xcode, both of Terminal's, iTerm2, Corvella, Lumapad, ForkLift, Alfred, Obsidian, VS Code, Bear
    // and NotePlan, in each appearance.
    EXPECT_EQ(checked, 2 * 12);
}

TEST_F(DontSetTest, SettingsAProfileDoesNotHoldOrHoldsEmptyLeaveEveryApplicationsFiles)
{
    // One profile holds only the appearance; one holds the empty text for every option, as profiles
    // read while the applications were absent do.
    Profile appearanceOnly(QStringLiteral("Dark"));
    appearanceOnly.findOrCreateOption(QStringLiteral("system.ui.appearance"))
        ->setValue(QStringLiteral("dark"));
    Profile empty(QStringLiteral("Empty"));
    for (OptionModel *model : registries.optionStore().options())
        empty.findOrCreateOption(model->key());
    const auto before = contents(QDir(home.path()));
    for (Profile *profile : {&appearanceOnly, &empty}) {
        ProfileController controller(profile, {}, registries.optionStore());
        EXPECT_TRUE(TestSupport::runTask(controller.apply()).succeeded()) << profile->name().toStdString();
    }
    EXPECT_EQ(takeWrites().size(), 0);
    EXPECT_EQ(
        changed(before, contents(QDir(home.path()))).join(", ").toStdString(),
        "Library/Preferences/.GlobalPreferences.plist, Library/Preferences/.GlobalPreferences.plist.lock");
}
