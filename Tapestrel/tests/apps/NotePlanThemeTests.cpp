// Option.h first: the fixture sets option values.
#include "Tapestrel/model/Option.h"

#include "ThemeTestSupport.h"

#include "Tapestrel/apps/frame/ThemePicker.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeOptionModel.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeStore.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

const QString regular = QStringLiteral("co.noteplan.NotePlan");
const QString setapp = QStringLiteral("co.noteplan.NotePlan-setapp");
const QString setappThemes =
    QStringLiteral("/Data/Library/Application Support/co.noteplan.NotePlan-setapp/Themes/");
const QString cloudThemes =
    QStringLiteral("Library/Mobile Documents/iCloud~co~noteplan~NotePlan/Documents/Themes/");

using ThemeTests::names;
using ThemeTests::Runs;

class NotePlanThemeTest : public ThemeTests::ThemeAppTest
{
protected:
    static Platform::UserDefaults &domain(const QString &name)
    {
        return *Platform::UserDefaults::suite(name);
    }
    QStringList customNames() { return names(NotePlanThemeStore(&config).customThemes()); }

    NotePlanAppConfig &config = *registries.appConfigStore().requireConfig<NotePlanAppConfig>();
};

TEST_F(NotePlanThemeTest, BuiltInThemesAreSortedByNameWithTheirIds)
{
    NotePlanThemeStore store(&config);
    EXPECT_EQ(names(store.defaultThemes()),
              QStringList({"Apple Dark",
                           "Ayu Mirage",
                           "Black Morning",
                           "Black Night",
                           "Breakers",
                           "Charcoal",
                           "Contrast",
                           "Dracula",
                           "Dracula Pro",
                           "Green",
                           "Material",
                           "Monokai",
                           "Monospace-Light",
                           "Orange",
                           "Solarized Dark",
                           "Solarized Light",
                           "Spacegray",
                           "Toothbleach",
                           "Toothbleach Condensed",
                           "Toothpaste",
                           "Toothpaste Condensed"}));
    EXPECT_EQ(store.defaultThemes().at(10), (NotePlanTheme {"materialdark", "Material"}));
    EXPECT_EQ(store.defaultThemes().at(13), (NotePlanTheme {"default", "Orange"}));
    EXPECT_TRUE(store.customThemes().isEmpty()); // NotePlan is not installed
}

TEST_F(NotePlanThemeTest, CustomThemesComeFromTheCloudDriveOrTheEditionsContainer)
{
    installApp("NotePlan 3", regular);
    const QString container = "Library/Containers/" + regular;
    home.writeFile(container + setappThemes + "Nightfall.json", R"({"name": "Nightfall", "colors": {}})");
    home.writeFile(container + setappThemes + ".DS_Store", "\0\1\2");
    home.writeFile(container + setappThemes + "List.json", R"([{"name": "Not an object"}])");
    home.writeFile(container + setappThemes + "Nameless.json", R"({"title": "x"})");
    home.writeFile(container + setappThemes + "Numbered.json", R"({"name": 7})");
    home.writeFile(container + setappThemes + "Plain.theme", R"({"name": "Plain"})");
    home.writeFile(container + setappThemes + "Blank.json", R"({"name": " "})");
    QDir(home.filePath(container + setappThemes + "Folder.json")).mkpath(".");
    home.writeFile(cloudThemes + "Cloudy.json", R"({"name": "Cloudy"})");

    NotePlanThemeStore store(&config);
    QList<NotePlanTheme> custom = store.customThemes();
    std::sort(custom.begin(), custom.end(), [](auto &a, auto &b) { return a.id < b.id; });
    EXPECT_EQ(custom, (QList<NotePlanTheme> {{"Nightfall.json", "Nightfall"}, {"Plain.theme", "Plain"}}));

    // The export finds a custom theme by its file name; a built-in id wins over a custom file of that name.
    NotePlanThemeOptionModel model(&config);
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
    NotePlanThemeOptionModel model(&config);
    Profile profile("P");
    Option *option = profile.findOrCreateOption(model.key());
    std::unique_ptr<QWidget> widget(model.makePicker(option, &profile, nullptr));
    auto *picker = qobject_cast<ThemePicker *>(widget.get());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->entries().size(), 2 + 1 + 21 + 1); // "Don't set", divider, both headers, 21 themes
    EXPECT_EQ(picker->selectedValue(), ""); // "Don't set"
    home.writeFile("Library/Containers/" + regular + setappThemes + "Nightfall.json",
                   R"({"name": "Nightfall"})");
    widget->show();
    EXPECT_EQ(picker->entries().last(),
              (ThemePicker::Entry {ThemePicker::Entry::Kind::row, "Nightfall", "Nightfall.json"}));
    picker->choose("Material");
    EXPECT_EQ(option->value(), "materialdark");
}

TEST_F(NotePlanThemeTest, ApplyWritesTheSlotOfTheAppearanceOnlyWhenItDiffers)
{
    NotePlanThemeOptionModel model(&config);
    apply(model, "dracula"); // not installed: nothing written, nothing posted
    EXPECT_EQ(read(model), std::nullopt);
    EXPECT_TRUE(takeWrites().isEmpty());
    EXPECT_TRUE(takeNotifications().isEmpty());

    installApp("NotePlan 3", regular);
    setDark(true);
    domain(regular).setValue("themeDark", "dracula");
    domain(regular).setValue("themeLight", "toothbleach");
    EXPECT_EQ(read(model), "dracula");
    apply(model, "dracula");
    EXPECT_TRUE(takeWrites().isEmpty());
    EXPECT_TRUE(takeNotifications().isEmpty());

    apply(model, "Nightfall.json");
    EXPECT_EQ(takeWrites(), (Runs {{"write", regular, "themeDark", "-string", "Nightfall.json"}}));
    EXPECT_EQ(domain(regular).value("themeDark"), "Nightfall.json");
    EXPECT_EQ(domain(regular).value("themeLight"), "toothbleach");
    EXPECT_EQ(takeNotifications(),
              QStringList({"AppleColorPreferencesChangedNotification",
                           "AppleInterfaceThemeChangedNotification", "AppleAquaColorVariantChanged"}));

    // "Don't set" keeps the user's theme.
    setDark(false);
    EXPECT_EQ(read(model), "toothbleach");
    apply(model, "");
    EXPECT_TRUE(takeWrites().isEmpty());
    EXPECT_TRUE(takeNotifications().isEmpty());
    EXPECT_EQ(domain(regular).value("themeLight"), "toothbleach");
    EXPECT_EQ(domain(regular).value("themeDark"), "Nightfall.json");
}

} // namespace
