#include "ThemeTestSupport.h"

#include "Tapestrel/apps/xcode/XcodeThemeOptionModel.h"
#include "Tapestrel/apps/xcode/XcodeThemeStore.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

TEST_F(ThemeAppTest, XcodeListsOneXcodesThemesAndTheUsersSortedByName)
{
    const auto ids = [](const QList<XcodeTheme> &themes) {
        QStringList result;
        for (const XcodeTheme &theme : themes)
            result.append(theme.id());
        return result;
    };
    const auto addTheme = [&](const QString &app, const QString &file) {
        home.writeFile(
            "Applications/" + app
                + ".app/Contents/SharedFrameworks/DVTUserInterfaceKit.framework/Versions/A/Resources/"
                  "FontAndColorThemes/"
                + file,
            "<plist/>");
    };
    EXPECT_TRUE(XcodeThemeStore().themes().isEmpty()) << "no Xcode installed";
    addTheme("Xcode-beta", "Beta Only.xccolortheme");
    EXPECT_EQ(ids(XcodeThemeStore().themes()), QStringList({"Beta Only.xccolortheme"}));

    for (const char *file :
         {"Presentation (Light).xccolortheme", "Dusk.xccolortheme", "Capital.XCCOLORTHEME", "notes.txt"})
        addTheme("Xcode", file);
    // Files with no name before the extension would be rows without text.
    for (const char *file : {"mine.xccolortheme", "Dusk.xccolortheme", ".xccolortheme", " .xccolortheme"})
        home.writeFile(QStringLiteral("Library/Developer/Xcode/UserData/FontAndColorThemes/") + file,
                       "<plist/>");
    XcodeThemeStore store;
    EXPECT_EQ(ids(store.themes()), QStringList({"Dusk.xccolortheme", "Presentation (Light).xccolortheme"}));
    EXPECT_EQ(ids(store.userThemes()), QStringList({"Dusk.xccolortheme", "mine.xccolortheme"}));

    XcodeThemeOptionModel model {registries.appConfigStore().requireConfig<XcodeAppConfig>()};
    const ThemePicker *xcodePicker = picker(model, "Dusk.xccolortheme");
    EXPECT_EQ(titles(xcodePicker),
              QStringList({"Don't set", "-", "Built-in Themes", "Dusk", "Presentation (Light)", "User Themes",
                           "Dusk", "mine"}));
    EXPECT_EQ(xcodePicker->selectedValue(), "Dusk.xccolortheme");

    // A user theme of the same file name counts as the built-in one.
    EXPECT_EQ(model.themeInfo(&pickerProfile), (ThemeInfo {"Xcode", "Dusk", true}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "mine.xccolortheme").get()),
              (ThemeInfo {"Xcode", "mine", false}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "").get()), std::nullopt);
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Capital.XCCOLORTHEME").get()), std::nullopt);
}
