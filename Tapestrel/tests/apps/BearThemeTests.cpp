#include "ThemeTestSupport.h"

#include "Tapestrel/apps/bear/BearThemeOptionModel.h"
#include "Tapestrel/apps/bear/BearThemePicker.h"
#include "Tapestrel/apps/bear/BearThemeStore.h"
#include "Tapestrel/model/Option.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

namespace {

const QString domain = QStringLiteral("net.shinyfrog.bear");

class BearThemeTest : public ThemeAppTest
{
protected:
    BearThemeOptionModel model {registries.appConfigStore().requireConfig<BearAppConfig>(), domain};
};

} // namespace

TEST_F(BearThemeTest, WritesTheCurrentSlotThenAnnouncesTheChangeTwice)
{
    writeDomain(domain, "SFAppThemeName", "Solarized Light");
    setDark(true);
    apply(model, "Nord");
    EXPECT_EQ(takeWrites(), (Runs {{"write", domain, "SFAppDarkThemeName", "-string", "Nord"}}));
    EXPECT_EQ(
        takeNotifications(),
        QStringList({"AppleColorPreferencesChangedNotification", "AppleInterfaceThemeChangedNotification"}));
    EXPECT_EQ(domainValue(domain, "SFAppDarkThemeName"), "Nord");
    EXPECT_EQ(domainValue(domain, "SFAppThemeName"), "Solarized Light");
    EXPECT_EQ(read(model), "Nord");

    // Light appearance: "Don't set" keeps the user's theme; names Bear does not list are written as
    // they are.
    setDark(false);
    EXPECT_EQ(read(model), "Solarized Light");
    apply(model, "");
    EXPECT_TRUE(takeWrites().isEmpty());
    EXPECT_TRUE(takeNotifications().isEmpty());
    EXPECT_EQ(read(model), "Solarized Light");
    apply(model, "Not A Bear Theme");
    EXPECT_EQ(takeWrites(), (Runs {{"write", domain, "SFAppThemeName", "-string", "Not A Bear Theme"}}));
    EXPECT_EQ(takeNotifications().size(), 2);
    EXPECT_EQ(domainValue(domain, "SFAppDarkThemeName"), "Nord");
}

TEST_F(BearThemeTest, PickerListsTheSortedTableAndThemeInfoFindsIt)
{
    const QList<BearTheme> &themes = BearThemeStore::builtInThemes();
    ASSERT_EQ(themes.size(), 38);
    QStringList names;
    for (const BearTheme &theme : themes) {
        names.append(theme.name);
        EXPECT_EQ(theme.id, theme.name);
    }
    EXPECT_EQ(names.mid(0, 4), QStringList({"Akademia", "Atom", "Ayu", "Ayu Mirage"}));
    EXPECT_EQ(names.mid(35), QStringList({"Tokyo Night", "Tokyo Night Light", "Toothpaste"}));
    EXPECT_LT(names.indexOf("D.Boring"), names.indexOf("Dark Graphite"));
    EXPECT_EQ(names.indexOf(QString::fromUtf8("Rosé Pine")) + 1,
              names.indexOf(QString::fromUtf8("Rosé Pine Dawn")));

    Profile profile("P");
    Option *option = profile.findOrCreateOption(BearThemeOptionModel::optionKey());
    std::unique_ptr<QWidget> picker(model.makePicker(option, &profile, nullptr));
    auto *bear = qobject_cast<BearThemePicker *>(picker.get());
    ASSERT_NE(bear, nullptr);
    EXPECT_EQ(bear->title(), "Theme");
    const auto entries = bear->entries();
    ASSERT_EQ(entries.size(), 40) << "Don't set, a divider and 38 themes, no headers";
    EXPECT_EQ(entries[0], (ThemePicker::Entry {ThemePicker::Entry::Kind::row, "Don't set", ""}));
    EXPECT_EQ(entries[1].kind, ThemePicker::Entry::Kind::divider);
    EXPECT_EQ(entries[2], (ThemePicker::Entry {ThemePicker::Entry::Kind::row, "Akademia", "Akademia"}));
    EXPECT_EQ(&model.store(), &model.store());

    EXPECT_EQ(model.themeInfo(profileWith(BearThemeOptionModel::optionKey(), "Dracula").get()),
              (ThemeInfo {"Bear", "Dracula", true}));
    EXPECT_EQ(model.themeInfo(profileWith(BearThemeOptionModel::optionKey(), "Gone").get()), std::nullopt);
    EXPECT_EQ(model.themeInfo(&profile), std::nullopt) << "Don't set";
    EXPECT_EQ(model.themeInfo(nullptr), std::nullopt);
}
