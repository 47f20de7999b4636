#include "ThemeTestSupport.h"

#include "Tapestrel/apps/corvella/CorvellaThemeOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadShowBackgroundOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadThemeOptionModel.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using ThemeTests::names;
using ThemeTests::Runs;

const QString corvellaStore = QStringLiteral("com.quorvane.Corvella3");
const QString corvellaDirect = QStringLiteral("com.quorvane.Corvella3-vandry");
const QString lumapadStore = QStringLiteral("com.quorvane.Lumapad");
const QString lumapadDirect = QStringLiteral("com.quorvane.Lumapad-vandry");
const QString lumapadSetapp = QStringLiteral("com.quorvane.Lumapad-setapp");

class ThemeFileAppsTest : public ThemeTests::ThemeAppTest
{
protected:
    void touch(const QString &relative) const { home.writeFile(relative, "{}"); }

    CorvellaAppConfig &corvella = *registries.appConfigStore().requireConfig<CorvellaAppConfig>();
    LumapadAppConfig &lumapad = *registries.appConfigStore().requireConfig<LumapadAppConfig>();
};

TEST_F(ThemeFileAppsTest, CorvellaListsTheBundleAndTheUserFolderOfTheEditionInUse)
{
    CorvellaThemeOptionModel model(&corvella);
    CorvellaThemeStore &store = *model.sharedStore();
    EXPECT_TRUE(store.appThemes().isEmpty()); // not installed
    EXPECT_TRUE(store.userThemes().isEmpty());

    // Only the directly sold edition: its themes live in Application Support.
    installApp("Corvella Direct", corvellaDirect);
    const QString resources = home.filePath("Applications/Corvella Direct.app/Contents/Resources/");
    touch("Applications/Corvella Direct.app/Contents/Resources/Paper.cvtheme");
    touch("Applications/Corvella Direct.app/Contents/Resources/Dusk.cvtheme");
    const QString directThemes = "Library/Application Support/" + corvellaDirect + "/themes/";
    for (const char *name : {"Dusk.cvtheme", "dawn.cvtheme", "Loud.CVTHEME", "notes.txt", ".cvtheme",
                             "Nested/Inner.cvtheme", "My.Theme.cvtheme"})
        touch(directThemes + name);
    store.reload();
    EXPECT_EQ(store.appThemes(),
              (QList<CorvellaTheme> {{"Dusk", resources + "Dusk.cvtheme"},
                                     {"Paper", resources + "Paper.cvtheme"}}));
    EXPECT_EQ(names(store.userThemes()), QStringList({"Dusk", "My.Theme", "dawn"}));
    EXPECT_EQ(store.userThemes().first().path, home.filePath(directThemes + "Dusk.cvtheme"));

    // The same name in both places: two rows with different values; the export names the matching one.
    const auto profile = profileWith("apps.corvella.theme", home.filePath(directThemes + "Dusk.cvtheme"));
    EXPECT_EQ(model.themeInfo(profile.get()), (ThemeInfo {"Corvella", "Dusk", false}));
    profile->findOrCreateOption("apps.corvella.theme")->setValue(resources + "Dusk.cvtheme");
    EXPECT_EQ(model.themeInfo(profile.get()), (ThemeInfo {"Corvella", "Dusk", true}));
    profile->findOrCreateOption("apps.corvella.theme")->setValue("");
    EXPECT_EQ(model.themeInfo(profile.get()), std::nullopt);

    // Both editions and no choice: the App Store edition, whose themes live in its container.
    installApp("Corvella", corvellaStore);
    EXPECT_EQ(corvella.userThemesPath(corvellaStore),
              home.filePath("Library/Containers/com.quorvane.Corvella3/Data/Library/Application Support/"
                            "com.quorvane.Corvella3/themes"));
    EXPECT_FALSE(corvella.userThemesURL(corvellaStore)); // nothing there yet
    EXPECT_FALSE(corvella.userThemesPath("com.quorvane.Other"));
    touch("Library/Containers/com.quorvane.Corvella3/Data/Library/Application Support/com.quorvane.Corvella3/"
          "themes/Mist.cvtheme");
    store.reload();
    EXPECT_TRUE(store.appThemes().isEmpty()); // the App Store bundle has no Resources folder
    EXPECT_EQ(names(store.userThemes()), QStringList {"Mist"});
    Platform::UserDefaults::standard().setValue("apps.corvella.bundleID", corvellaDirect);
    store.reload();
    EXPECT_EQ(names(store.userThemes()), QStringList({"Dusk", "My.Theme", "dawn"}));
}

TEST_F(ThemeFileAppsTest, LumapadStoresFileNamesOfItsEditionsFolders)
{
    EXPECT_EQ(lumapad.userThemesPath(lumapadSetapp),
              home.filePath("Library/Application Support/com.quorvane.Lumapad-setapp/themes"));
    EXPECT_EQ(lumapad.userThemesPath(lumapadDirect),
              home.filePath("Library/Application Support/com.quorvane.Lumapad-vandry/themes"));
    EXPECT_EQ(lumapad.userThemesPath(lumapadStore),
              home.filePath("Library/Containers/com.quorvane.Lumapad/Data/Library/Application Support/"
                            "com.quorvane.Lumapad/themes"));

    installApp("Lumapad Setapp", lumapadSetapp);
    installApp("Lumapad Direct", lumapadDirect);
    touch("Applications/Lumapad Direct.app/Contents/Resources/Paper.lptheme");
    const QString folder = "Library/Application Support/" + lumapadDirect + "/themes/";
    for (const char *name : {"dark.lptheme", "Dark.lptheme", "Readme.txt", "Light.LPTHEME", "Paper.lptheme"})
        touch(folder + name);

    // The picker shows the shared store, read again each time it comes on screen.
    LumapadThemeOptionModel model(&lumapad);
    ThemePicker *lumapadPicker = picker(model, "Dark.lptheme");
    EXPECT_EQ(titles(lumapadPicker, true),
              QStringList({"Don't set=", "-", "Built-in Themes", "Paper=Paper.lptheme", "User Themes",
                           "Dark=Dark.lptheme", "Paper=Paper.lptheme", "dark=dark.lptheme"}));
    EXPECT_EQ(lumapadPicker->selectedValue(), "Dark.lptheme");
    // The theme of that file name in the application wins in the export.
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Paper.lptheme").get()),
              (ThemeInfo {"Lumapad", "Paper", true}));

    // Another edition chosen: the next showing lists its (empty) folders.
    Platform::UserDefaults::standard().setValue("apps.lumapad.bundleID", lumapadSetapp);
    lumapadPicker->show();
    EXPECT_EQ(lumapadPicker->entries().size(), 4);
    EXPECT_EQ(lumapadPicker->selectedValue(), std::nullopt); // the stored value stays, selecting nothing
    EXPECT_EQ(pickerProfile.value(model.key()), "Dark.lptheme");

    apply(model, "Paper.lptheme");
    EXPECT_EQ(takeWrites(), (Runs {{"write", lumapadSetapp, "theme", "-string", "Paper.lptheme"}}));
    EXPECT_EQ(read(model), "Paper.lptheme");
}

TEST_F(ThemeFileAppsTest, LumapadNoteBackgroundIsABooleanThatDefaultsToOn)
{
    LumapadShowBackgroundOptionModel model(&lumapad, true);
    EXPECT_EQ(read(model), std::nullopt); // not installed: nothing to record
    apply(model, "false");
    EXPECT_TRUE(takeWrites().isEmpty());

    installApp("Lumapad", lumapadStore);
    EXPECT_EQ(read(model), "true"); // absent
    const QList<std::pair<QString, QString>> values {
        {"YES", "true"}, {"0", "false"}, {"true", "true"}, {"No", "false"}};
    for (const auto &[value, written] : values) {
        apply(model, value);
        EXPECT_EQ(takeWrites(), (Runs {{"write", lumapadStore, "enableNoteBackground", "-bool", written}}));
        EXPECT_EQ(read(model), written);
    }
    apply(model, "");
    for (const char *refused : {"maybe", " true"})
        EXPECT_THROW(apply(model, refused), OptionModelError) << refused;
    EXPECT_TRUE(takeWrites().isEmpty());
    writeDomain(lumapadStore, "enableNoteBackground", "NO"); // a text is no Boolean
    EXPECT_EQ(read(model), "true");
    writeDomain(lumapadStore, "enableNoteBackground", 0);
    EXPECT_EQ(read(model), "false");
}

} // namespace
