#include "ThemeTestSupport.h"

#include "Tapestrel/apps/xcode/XcodeThemeOptionModel.h"
#include "Tapestrel/apps/xcode/XcodeThemePicker.h"
#include "Tapestrel/apps/xcode/XcodeThemeStore.h"
#include "Tapestrel/model/Option.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

namespace {

const QString domain = QStringLiteral("com.apple.dt.Xcode");
const QString themesInside = QStringLiteral(
    "Contents/SharedFrameworks/DVTUserInterfaceKit.framework/Versions/A/Resources/FontAndColorThemes/");
const QString userThemes = QStringLiteral("Library/Developer/Xcode/UserData/FontAndColorThemes/");

class XcodeThemeTest : public ThemeAppTest
{
protected:
    void addTheme(const QString &app, const QString &file) const
    {
        home.writeFile("Applications/" + app + ".app/" + themesInside + file, "<plist/>");
    }
    static QStringList namesOf(const QList<XcodeTheme> &themes)
    {
        QStringList names;
        for (const XcodeTheme &theme : themes)
            names.append(theme.id());
        return names;
    }

    XcodeThemeOptionModel model {registries.appConfigStore().requireConfig<XcodeAppConfig>()};
};

} // namespace

TEST_F(XcodeThemeTest, ListsOneXcodesThemesAndTheUsersSortedByName)
{
    EXPECT_TRUE(XcodeThemeStore().themes().isEmpty()) << "no Xcode installed";
    addTheme("Xcode-beta", "Beta Only.xccolortheme");
    EXPECT_EQ(namesOf(XcodeThemeStore().themes()), QStringList({"Beta Only.xccolortheme"}));

    addTheme("Xcode", "Presentation (Light).xccolortheme");
    addTheme("Xcode", "Dusk.xccolortheme");
    addTheme("Xcode", "Capital.XCCOLORTHEME");
    addTheme("Xcode", "notes.txt");
    home.writeFile(userThemes + "mine.xccolortheme", "<plist/>");
    home.writeFile(userThemes + "Dusk.xccolortheme", "<plist/>");
    // Files with no name before the extension would be rows without text.
    home.writeFile(userThemes + ".xccolortheme", "<plist/>");
    home.writeFile(userThemes + " .xccolortheme", "<plist/>");
    XcodeThemeStore store;
    EXPECT_EQ(namesOf(store.themes()),
              QStringList({"Dusk.xccolortheme", "Presentation (Light).xccolortheme"}));
    EXPECT_EQ(namesOf(store.userThemes()), QStringList({"Dusk.xccolortheme", "mine.xccolortheme"}));

    Profile profile("P");
    Option *option = profile.findOrCreateOption(model.key());
    option->setValue("Dusk.xccolortheme");
    std::unique_ptr<QWidget> widget(model.makePicker(option, &profile, nullptr));
    auto *picker = qobject_cast<XcodeThemePicker *>(widget.get());
    ASSERT_NE(picker, nullptr);
    QStringList titles;
    for (const auto &entry : picker->entries())
        titles.append(entry.kind == ThemePicker::Entry::Kind::divider ? "-" : entry.title);
    EXPECT_EQ(titles,
              QStringList({"Don't set", "-", "Built-in Themes", "Dusk", "Presentation (Light)", "User Themes",
                           "Dusk", "mine"}));
    EXPECT_EQ(picker->selectedValue(), "Dusk.xccolortheme");

    // A user theme of the same file name counts as the built-in one.
    EXPECT_EQ(model.themeInfo(&profile), (ThemeInfo {"Xcode", "Dusk", true}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "mine.xccolortheme").get()),
              (ThemeInfo {"Xcode", "mine", false}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "").get()), std::nullopt);
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Capital.XCCOLORTHEME").get()), std::nullopt);
}

TEST_F(XcodeThemeTest, WritesTheAppearancesSlotAndAnnouncesItOnce)
{
    writeDomain(domain, "XCFontAndColorCurrentTheme", "Presentation (Light).xccolortheme");
    setDark(true);
    EXPECT_EQ(read(model), "") << "never stored for the dark appearance";
    apply(model, "Dusk.xccolortheme");
    EXPECT_EQ(takeWrites(),
              (Runs {{"write", domain, "XCFontAndColorCurrentDarkTheme", "-string", "Dusk.xccolortheme"}}));
    EXPECT_EQ(takeNotifications(), QStringList({"AppleAquaColorVariantChanged"}));
    EXPECT_EQ(read(model), "Dusk.xccolortheme");
    EXPECT_EQ(domainValue(domain, "XCFontAndColorCurrentTheme"), "Presentation (Light).xccolortheme");

    apply(model, "");
    EXPECT_TRUE(takeWrites().isEmpty());
    EXPECT_TRUE(takeNotifications().isEmpty());
    setDark(false);
    EXPECT_EQ(read(model), "Presentation (Light).xccolortheme");
}
