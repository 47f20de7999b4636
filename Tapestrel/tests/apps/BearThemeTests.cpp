#include "ThemeTestSupport.h"

#include "Tapestrel/apps/bear/BearThemeOptionModel.h"
#include "Tapestrel/apps/bear/BearThemeStore.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

TEST_F(ThemeAppTest, BearsPickerListsTheSortedTableAndThemeInfoFindsIt)
{
    BearThemeOptionModel model {registries.appConfigStore().requireConfig<BearAppConfig>(),
                                "net.shinyfrog.bear"};
    const QStringList themes = names(BearThemeStore::builtInThemes());
    ASSERT_EQ(themes.size(), 38);
    EXPECT_EQ(themes.mid(0, 4), QStringList({"Akademia", "Atom", "Ayu", "Ayu Mirage"}));
    EXPECT_EQ(themes.mid(35), QStringList({"Tokyo Night", "Tokyo Night Light", "Toothpaste"}));
    EXPECT_LT(themes.indexOf("D.Boring"), themes.indexOf("Dark Graphite"));
    EXPECT_EQ(themes.indexOf("Rosé Pine") + 1, themes.indexOf("Rosé Pine Dawn"));

    // "Don't set", a divider and the themes, each its own value, without headers.
    QStringList rows {"Don't set=", "-"};
    for (const QString &theme : themes)
        rows.append(theme + u'=' + theme);
    const ThemePicker *bearPicker = picker(model);
    EXPECT_EQ(titles(bearPicker, true), rows);
    EXPECT_EQ(bearPicker->title(), "Theme");

    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Dracula").get()),
              (ThemeInfo {"Bear", "Dracula", true}));
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "Gone").get()), std::nullopt);
    EXPECT_EQ(model.themeInfo(profileWith(model.key(), "").get()), std::nullopt) << "Don't set";
    EXPECT_EQ(model.themeInfo(nullptr), std::nullopt);
}
