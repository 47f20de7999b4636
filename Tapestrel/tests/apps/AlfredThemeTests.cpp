#include "ThemeTestSupport.h"

#include "Tapestrel/apps/alfred/AlfredThemeOptionModel.h"
#include "Tapestrel/apps/alfred/AlfredThemeStore.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

namespace {

const QString synced = QStringLiteral("Dropbox/Alfred.alfredpreferences");
const QString appearance = synced + QStringLiteral("/preferences/local/c0ffee/appearance/prefs.plist");

class AlfredThemeTest : public ThemeAppTest
{
protected:
    AlfredThemeTest()
    {
        home.writeFile("Library/Application Support/Alfred/prefs.json",
                       QStringLiteral(R"({"current": "~/%1", "localhash": "c0ffee", "syncfolder": 1})")
                           .arg(synced)
                           .toUtf8());
    }
    void addTheme(const QString &folder, const QByteArray &json) const
    {
        home.writeFile(synced + "/themes/" + folder + "/theme.json", json);
    }
    void writeAppearance(const QVariantMap &values) const
    {
        home.writeFile(appearance, Platform::PropertyList::toXml(values));
    }
    static QByteArray themeFile(const QString &name)
    {
        return QStringLiteral(R"({"alfredtheme": {"name": %1, "result": {}}, "other": 2})")
            .arg(name)
            .toUtf8();
    }

    AlfredThemeOptionModel model {registries.appConfigStore().requireConfig<AlfredAppConfig>()};
};

} // namespace

TEST_F(AlfredThemeTest, ListsBuiltInAndUserThemesSortedAndSkipsWhatItCannotRead)
{
    addTheme("user.zed", themeFile("\"Zed\""));
    addTheme("user.clone", themeFile("\"Alfred\""));
    addTheme("user.broken", "{\"alfredtheme\": ");
    addTheme("user.nameless", "{\"alfredtheme\": {\"title\": \"x\"}}");
    addTheme("user.number", themeFile("7"));
    addTheme("user.blank", themeFile("\"\""));
    home.writeFile(synced + "/themes/stray.txt", "not a theme");

    AlfredThemeStore &store = model.store();
    EXPECT_EQ(names(store.defaultThemes()),
              QString("Alfred|Alfred Classic|Alfred Dark|Alfred Modern|Alfred Modern Dark|Alfred macOS |"
                      "Alfred macOS Dark|Frosty Teal|High Contrast Light |Large Avenir")
                  .split('|'));
    ASSERT_EQ(store.customThemes(), (QList<AlfredTheme> {{"user.clone", "Alfred"}, {"user.zed", "Zed"}}));
    EXPECT_EQ(store.theme("user.zed")->name, "Zed");
    EXPECT_EQ(store.theme("theme.bundled.osx")->name, "Alfred macOS ");
    EXPECT_EQ(store.theme("Theme.Bundled.Osx"), std::nullopt);

    // A theme added meanwhile shows when the picker comes on screen.
    ThemePicker *alfredPicker = picker(model);
    EXPECT_EQ(alfredPicker->entries().size(), 2 + 1 + 10 + 1 + 2);
    addTheme("user.aaa", themeFile("\"Aardvark\""));
    alfredPicker->show();
    EXPECT_EQ(names(store.customThemes()), QStringList({"Aardvark", "Alfred", "Zed"}));
    EXPECT_EQ(titles(alfredPicker, true).mid(13),
              QStringList({"Custom Themes", "Aardvark=user.aaa", "Alfred=user.clone", "Zed=user.zed"}));

    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "user.clone").get()),
              (ThemeInfo {"Alfred", "Alfred", false}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "theme.bundled.default").get()),
              (ThemeInfo {"Alfred", "Alfred", true}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "").get()), std::nullopt);
}

TEST_F(AlfredThemeTest, ReadsTheSlotOfTheAppearanceWithAlfredsDefaults)
{
    setDark(true);
    EXPECT_EQ(read(model), std::nullopt) << "no appearance file";
    writeAppearance({{"darkthemeuid", "some.unknown.theme"}, {"lightthemeuid", "theme.bundled.classic"}});
    EXPECT_EQ(read(model), "some.unknown.theme");
    setDark(false);
    EXPECT_EQ(read(model), "theme.bundled.classic");
    writeAppearance({{"darkthemeuid", 42}});
    EXPECT_EQ(read(model), "theme.bundled.modern");
    setDark(true);
    EXPECT_EQ(read(model), "theme.bundled.moderndark") << "a number counts as absent";
    home.writeFile(appearance, "garbage");
    EXPECT_EQ(read(model), std::nullopt);
    home.writeFile("Library/Application Support/Alfred/prefs.json",
                   R"({"current": 3, "localhash": "c0ffee"})");
    writeAppearance({{"darkthemeuid", "x"}});
    EXPECT_EQ(read(model), std::nullopt);
}

TEST_F(AlfredThemeTest, NamesAListedThemeToAlfredInAnEscapedScript)
{
    writeAppearance({{"lightthemeuid", "theme.bundled.default"}});
    addTheme("user.quote", themeFile(R"("Say \"hi\" \\ now")"));
    addTheme("user.newline", themeFile(R"("Two\nLines")"));

    apply(model, "no.such.theme");
    apply(model, "user.newline");
    EXPECT_TRUE(takeScripts().isEmpty())
        << "a theme Alfred does not list, or a name no script literal can hold";

    // Without Alfred the script fails, which is not the profile's error.
    apply(model, "theme.bundled.osx");
    EXPECT_EQ(takeScripts(), QStringList({"tell application \"Alfred\" to set theme \"Alfred macOS \""}));
    EXPECT_EQ(read(model), "theme.bundled.default");

    installApp("Alfred", "com.runningwithcrayons.Alfred");
    apply(model, "theme.bundled.osx");
    EXPECT_EQ(takeScripts().size(), 1);
    EXPECT_EQ(read(model), "theme.bundled.osx") << "Alfred filed it under the light appearance";

    apply(model, "user.quote");
    EXPECT_EQ(takeScripts(), QStringList({R"(tell application "Alfred" to set theme "Say \"hi\" \\ now")"}));
    EXPECT_EQ(read(model), "user.quote");
    EXPECT_TRUE(takeWrites().isEmpty()) << "Alfred's files are never written by the option";
}
