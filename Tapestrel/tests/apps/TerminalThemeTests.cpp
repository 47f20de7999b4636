#include "ThemeTestSupport.h"

#include "Tapestrel/apps/terminal/DefaultTerminalThemeOptionModel.h"
#include "Tapestrel/apps/terminal/StartupTerminalThemeOptionModel.h"
#include "Tapestrel/apps/terminal/TerminalThemePicker.h"
#include "Tapestrel/model/Option.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

namespace {

const QString domain = QStringLiteral("com.apple.Terminal");

class TerminalThemeTest : public ThemeAppTest
{
protected:
    TerminalAppConfig *config = registries.appConfigStore().requireConfig<TerminalAppConfig>();
    DefaultTerminalThemeOptionModel defaultTheme {config, "Default Window Settings"};
    StartupTerminalThemeOptionModel startupTheme {config, "Startup Window Settings"};
};

} // namespace

TEST_F(TerminalThemeTest, ListsTerminalsProfilesAndWritesEachKeyOnItsOwn)
{
    // A settings set without a name, or named only by blanks, is not listed: it would read as an
    // empty row.
    writeDomain(domain, "Window Settings",
                QVariantMap {{"Pro", QVariantMap {}},
                             {"basic", QVariantMap {}},
                             {"Basic", QVariantMap {}},
                             {"", QVariantMap {}},
                             {" ", QVariantMap {}},
                             {"\t \n", QVariantMap {}}});
    Profile profile("P");
    std::unique_ptr<QWidget> widget(
        defaultTheme.makePicker(profile.findOrCreateOption(defaultTheme.key()), &profile, nullptr));
    auto *picker = qobject_cast<TerminalThemePicker *>(widget.get());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->title(), "Default Theme");
    QStringList titles;
    for (const auto &entry : picker->entries())
        titles.append(entry.kind == ThemePicker::Entry::Kind::divider ? "-" : entry.title);
    EXPECT_EQ(titles, QStringList({"Don't set", "-", "Basic", "Pro", "basic"}));

    // Never stored: the read gives the empty text, "Don't set".
    EXPECT_EQ(read(startupTheme), "");
    apply(defaultTheme, "Pro");
    apply(startupTheme, "");
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

TEST_F(TerminalThemeTest, WithoutWindowSettingsThePickerHasOnlyDontSet)
{
    writeDomain(domain, "Window Settings", "not a dictionary");
    Profile profile("P");
    std::unique_ptr<QWidget> widget(
        startupTheme.makePicker(profile.findOrCreateOption(startupTheme.key()), &profile, nullptr));
    auto *picker = qobject_cast<TerminalThemePicker *>(widget.get());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->entries().size(), 2);
    EXPECT_EQ(picker->title(), "Startup Theme");
}
