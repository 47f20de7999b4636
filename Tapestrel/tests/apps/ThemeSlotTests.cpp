#include "ThemeTestSupport.h"

#include "Tapestrel/apps/bear/BearThemeOptionModel.h"
#include "Tapestrel/apps/corvella/CorvellaThemeOptionModel.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeOptionModel.h"
#include "Tapestrel/apps/nova/NovaEditorThemeOptionModel.h"
#include "Tapestrel/apps/xcode/XcodeThemeOptionModel.h"
#include "Tapestrel/model/OptionStore.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

namespace {

class ThemeSlotTest : public ThemeAppTest
{
protected:
    AppConfigStore &configs = registries.appConfigStore();
    NovaAppConfig novaConfig {QStringLiteral("com.panic.Nova"), QStringLiteral("Nova")};
    NovaEditorThemeOptionModel nova {&novaConfig};
    BearThemeOptionModel bear {configs.requireConfig<BearAppConfig>(), QStringLiteral("net.shinyfrog.bear")};
    XcodeThemeOptionModel xcode {configs.requireConfig<XcodeAppConfig>()};
    NotePlanThemeOptionModel notePlan {configs.requireConfig<NotePlanAppConfig>()};
    CorvellaThemeOptionModel corvella {configs.requireConfig<CorvellaAppConfig>()};
};

} // namespace

// Applications whose theme is a key of their preferences, one for each appearance or one for both. An
// apply writes the current appearance's key through the defaults tool, whatever the name, and
// announces it; an application that must be installed gets nothing until it is. "Don't set", and the
// empty text of a profile read while the application had no theme stored, leave the user's theme
// alone; so does the theme in place already where the application is asked first.
TEST_F(ThemeSlotTest, AnApplyWritesTheAppearancesKeyAndAnnouncesItAndDontSetWritesNothing)
{
    const struct
    {
        OptionModel *model;
        QString domain;
        const char *install; // the application's name, when it must be installed
        QString darkKey, lightKey;
        QStringList notifications;
        QString doNotSet;
        bool skipsTheThemeInPlace;
    } rows[] = {
        {&nova, "com.panic.Nova", "Nova", "EditorDarkTheme", "EditorLightTheme", {}, "<do-not-set>", false},
        {&bear,
         "net.shinyfrog.bear",
         nullptr,
         "SFAppDarkThemeName",
         "SFAppThemeName",
         {"AppleColorPreferencesChangedNotification", "AppleInterfaceThemeChangedNotification"},
         "",
         false},
        {&xcode,
         "com.apple.dt.Xcode",
         nullptr,
         "XCFontAndColorCurrentDarkTheme",
         "XCFontAndColorCurrentTheme",
         {"AppleAquaColorVariantChanged"},
         "",
         false},
        {&notePlan,
         "co.noteplan.NotePlan",
         "NotePlan 3",
         "themeDark",
         "themeLight",
         {"AppleColorPreferencesChangedNotification", "AppleInterfaceThemeChangedNotification",
          "AppleAquaColorVariantChanged"},
         "",
         true},
        {&corvella, "com.quorvane.Corvella3-vandry", "Corvella Direct", "theme", "theme", {}, "", false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.domain.toStdString());
        setDark(true);
        if (row.install) {
            apply(*row.model, "Early");
            EXPECT_EQ(read(*row.model), std::nullopt);
            EXPECT_TRUE(takeWrites().isEmpty()) << "not installed";
            installApp(row.install, row.domain);
        }
        EXPECT_EQ(read(*row.model), "") << "never stored";
        for (const bool dark : {true, false}) {
            setDark(dark);
            const QString theme = dark ? "Not Listed Dark" : "Not Listed Light";
            apply(*row.model, theme);
            EXPECT_EQ(takeWrites(),
                      (Runs {{"write", row.domain, dark ? row.darkKey : row.lightKey, "-string", theme}}));
            EXPECT_EQ(takeNotifications(), row.notifications);
            EXPECT_EQ(read(*row.model), theme);
        }
        if (row.skipsTheThemeInPlace) {
            apply(*row.model, "Not Listed Light");
            EXPECT_TRUE(takeWrites().isEmpty());
            EXPECT_TRUE(takeNotifications().isEmpty());
        }
        for (const bool dark : {false, true}) {
            setDark(dark);
            apply(*row.model, "");
            apply(*row.model, row.doNotSet);
            EXPECT_TRUE(takeWrites().isEmpty());
            EXPECT_TRUE(takeNotifications().isEmpty());
        }
        EXPECT_EQ(read(*row.model), row.darkKey == row.lightKey ? "Not Listed Light" : "Not Listed Dark");
    }
}

TEST_F(ThemeSlotTest, NovaListsItsThemesAndIsRegisteredNowhere)
{
    const ThemePicker *novaPicker = picker(nova, NovaEditorThemeOptionModel::doNotSet);
    EXPECT_EQ(novaPicker->title(), "Editor Theme");
    EXPECT_EQ(titles(novaPicker, true),
              QStringList({"Don't set=<do-not-set>", "-", "Built-in Themes", "Bright=Panic Bright",
                           "Dark=Panic Dark", "Neon=Panic Neon", "Palette=Panic Palette", "Custom Themes"}));
    EXPECT_EQ(novaPicker->selectedValue(), NovaEditorThemeOptionModel::doNotSet);
    EXPECT_EQ(registries.optionStore().model(nova.key()), nullptr);
    EXPECT_EQ(configs.config("apps.nova"), nullptr);
}
