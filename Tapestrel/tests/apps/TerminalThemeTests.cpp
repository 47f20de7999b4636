#include "ThemeTestSupport.h"

#include "Tapestrel/apps/terminal/DefaultTerminalThemeOptionModel.h"
#include "Tapestrel/apps/terminal/StartupTerminalThemeOptionModel.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

TEST_F(ThemeAppTest, TerminalListsItsProfilesAndWritesEachKeyOnItsOwn)
{
    const QString domain = QStringLiteral("com.apple.Terminal");
    TerminalAppConfig *config = registries.appConfigStore().requireConfig<TerminalAppConfig>();
    DefaultTerminalThemeOptionModel defaultTheme {config, "Default Window Settings"};
    StartupTerminalThemeOptionModel startupTheme {config, "Startup Window Settings"};
    // Without settings sets only "Don't set" is listed.
    writeDomain(domain, "Window Settings", "not a dictionary");
    EXPECT_EQ(titles(picker(startupTheme)), QStringList({"Don't set", "-"}));
    EXPECT_EQ(picker(startupTheme)->title(), "Startup Theme");

    // A settings set without a name, or named only by blanks, is not listed: it would read as an
    // empty row.
    QVariantMap sets;
    for (const char *name : {"Pro", "basic", "Basic", "", " ", "\t \n"})
        sets.insert(name, QVariantMap {});
    writeDomain(domain, "Window Settings", sets);
    const ThemePicker *defaultPicker = picker(defaultTheme);
    EXPECT_EQ(defaultPicker->title(), "Default Theme");
    EXPECT_EQ(titles(defaultPicker), QStringList({"Don't set", "-", "Basic", "Pro", "basic"}));

    // Never stored: the read gives the empty text, "Don't set". A set deleted meanwhile is written all
    // the same.
    EXPECT_EQ(read(startupTheme), "");
    apply(defaultTheme, "Pro");
    apply(startupTheme, "Deleted Meanwhile");
    EXPECT_EQ(takeWrites(),
              (Runs {{"write", domain, "Default Window Settings", "-string", "Pro"},
                     {"write", domain, "Startup Window Settings", "-string", "Deleted Meanwhile"}}));
    EXPECT_TRUE(takeNotifications().isEmpty());
    EXPECT_EQ(read(defaultTheme), "Pro");
    EXPECT_EQ(read(startupTheme), "Deleted Meanwhile");

    EXPECT_EQ(defaultTheme.themeInfo(profileWith(defaultTheme.key(), "basic").get()),
              (ThemeInfo {"Terminal (default theme)", "basic", true}));
    EXPECT_EQ(startupTheme.themeInfo(profileWith(startupTheme.key(), "Pro").get()),
              (ThemeInfo {"Terminal (startup theme)", "Pro", true}));
    EXPECT_EQ(startupTheme.themeInfo(profileWith(startupTheme.key(), "Deleted Meanwhile").get()),
              std::nullopt);
    EXPECT_EQ(defaultTheme.displayPath(), QStringList({"Tools", "Terminal", "Default Theme"}));
    EXPECT_EQ(startupTheme.displayPath(), QStringList({"Tools", "Terminal", "Startup Theme"}));
}
