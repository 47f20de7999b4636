#include "ThemeTestSupport.h"

#include "Tapestrel/apps/noteplan/NotePlanThemeOptionModel.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeStore.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

const QString regular = QStringLiteral("co.noteplan.NotePlan");
const QString setapp = QStringLiteral("co.noteplan.NotePlan-setapp");
const QString container = "Library/Containers/" + regular;
const QString setappThemes =
    QStringLiteral("/Data/Library/Application Support/co.noteplan.NotePlan-setapp/Themes/");

using ThemeTests::names;

class NotePlanThemeTest : public ThemeTests::ThemeAppTest
{
protected:
    static Platform::UserDefaults &domain(const QString &name)
    {
        return *Platform::UserDefaults::suite(name);
    }
    QStringList customNames() { return names(NotePlanThemeStore(&config).customThemes()); }

    NotePlanAppConfig &config = *registries.appConfigStore().requireConfig<NotePlanAppConfig>();
    NotePlanThemeOptionModel model {&config};
};

TEST_F(NotePlanThemeTest, BuiltInThemesAreSortedByNameWithTheirIds)
{
    NotePlanThemeStore store(&config);
    EXPECT_EQ(
        names(store.defaultThemes()),
        QString("Apple Dark|Ayu Mirage|Black Morning|Black Night|Breakers|Charcoal|Contrast|Dracula|"
                "Dracula Pro|Green|Material|Monokai|Monospace-Light|Orange|Solarized Dark|Solarized Light|"
                "Spacegray|Toothbleach|Toothbleach Condensed|Toothpaste|Toothpaste Condensed")
            .split('|'));
    EXPECT_EQ(store.defaultThemes().at(10), (NotePlanTheme {"materialdark", "Material"}));
    EXPECT_EQ(store.defaultThemes().at(13), (NotePlanTheme {"default", "Orange"}));
    EXPECT_TRUE(store.customThemes().isEmpty()); // NotePlan is not installed
}

TEST_F(NotePlanThemeTest, CustomThemesComeFromTheCloudDriveOrTheEditionsContainer)
{
    installApp("NotePlan 3", regular);
    const std::pair<const char *, QByteArray> files[] = {
        {"Nightfall.json", R"({"name": "Nightfall", "colors": {}})"},
        {".DS_Store", "\0\1\2"},
        {"List.json", R"([{"name": "Not an object"}])"},
        {"Nameless.json", R"({"title": "x"})"},
        {"Numbered.json", R"({"name": 7})"},
        {"Plain.theme", R"({"name": "Plain"})"},
        {"Blank.json", R"({"name": " "})"}};
    for (const auto &[name, bytes] : files)
        home.writeFile(container + setappThemes + name, bytes);
    QDir(home.filePath(container + setappThemes + "Folder.json")).mkpath(".");
    home.writeFile("Library/Mobile Documents/iCloud~co~noteplan~NotePlan/Documents/Themes/Cloudy.json",
                   R"({"name": "Cloudy"})");

    QList<NotePlanTheme> custom = NotePlanThemeStore(&config).customThemes();
    std::sort(custom.begin(), custom.end(), [](auto &a, auto &b) { return a.id < b.id; });
    EXPECT_EQ(custom, (QList<NotePlanTheme> {{"Nightfall.json", "Nightfall"}, {"Plain.theme", "Plain"}}));

    // The export finds a custom theme by its file name; a built-in id wins over a custom file of that name.
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Nightfall.json").get()),
              (ThemeInfo {"NotePlan", "Nightfall", false}));
    home.writeFile(container + setappThemes + "dracula", R"({"name": "My Dracula"})");
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "dracula").get()),
              (ThemeInfo {"NotePlan", "Dracula", true}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "").get()), std::nullopt);

    // NotePlan's own switch to the cloud drive; a text does not count as a Boolean.
    domain(regular).setValue("isUsingCloudKit", "YES");
    EXPECT_EQ(customNames().size(), 3);
    domain(regular).setValue("isUsingCloudKit", true);
    EXPECT_EQ(customNames(), QStringList {"Cloudy"});

    // With both editions installed and Setapp chosen, its own container and its own switch count.
    installApp("NotePlan Setapp", setapp);
    Platform::UserDefaults::standard().setValue("apps.noteplan.bundleID", setapp);
    EXPECT_TRUE(customNames().isEmpty());
    home.writeFile("Library/Containers/" + setapp + setappThemes + "Dawn.json", R"({"name": "Dawn"})");
    EXPECT_EQ(customNames(), QStringList {"Dawn"});

    // The regular edition's folder under its own name is looked in when the Setapp-named one is missing.
    Platform::UserDefaults::standard().setValue("apps.noteplan.bundleID", regular);
    domain(regular).setValue("isUsingCloudKit", false);
    QDir(home.filePath(container + setappThemes)).removeRecursively();
    EXPECT_TRUE(customNames().isEmpty());
    home.writeFile(container + "/Data/Library/Application Support/co.noteplan.NotePlan/Themes/Own.json",
                   R"({"name": "Own"})");
    EXPECT_EQ(customNames(), QStringList {"Own"});
}

TEST_F(NotePlanThemeTest, ThePickerReadsTheCustomThemesAgainWhenShown)
{
    installApp("NotePlan 3", regular);
    ThemePicker *notePlanPicker = picker(model);
    EXPECT_EQ(notePlanPicker->entries().size(),
              2 + 1 + 21 + 1); // "Don't set", divider, both headers, 21 themes
    EXPECT_EQ(notePlanPicker->selectedValue(), ""); // "Don't set"
    home.writeFile(container + setappThemes + "Nightfall.json", R"({"name": "Nightfall"})");
    notePlanPicker->show();
    EXPECT_EQ(titles(notePlanPicker, true).last(), "Nightfall=Nightfall.json");
    notePlanPicker->choose("Material");
    EXPECT_EQ(pickerProfile.value(model.key()), "materialdark");
}

} // namespace
