#include "ThemeTestSupport.h"

#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"
#include "Tapestrel/apps/corvella/CorvellaThemeOptionModel.h"
#include "Tapestrel/tests/ui/SectionProbes.h"
#include "Tapestrel/ui/AppBasedEditorTab.h"
#include "Tapestrel/ui/AppBundlePicker.h"
#include "Tapestrel/widgets/AppSection.h"
#include "Tapestrel/widgets/EditorPicker.h"

#include "testsupport/Screenshots.h"

#include <QComboBox>

#include <gtest/gtest.h>

using UiTests::rowKeys;
using UiTests::shownIDs;

namespace {

using ThemeSectionsTest = ThemeTests::SectionTest<>;

TEST_F(ThemeSectionsTest, TheTabsShowTheSectionsOfInstalledApplications)
{
    installApp("Corvella", "com.quorvane.Corvella3");
    installApp("Corvella Direct", "com.quorvane.Corvella3-vandry");
    installApp("Lumapad", "com.quorvane.Lumapad");
    installApp("iTerm", "com.googlecode.iterm2");
    home.writeFile("Applications/Corvella.app/Contents/Resources/Paper.cvtheme", "{}");
    profile.findOrCreateOption("tools.iterm.theme")->setValue("Solarized Dark");
    profile.findOrCreateOption("apps.lumapad.showBackground")->setValue("false");

    AppBasedEditorTab apps(&profile, AppBasedEditorTab::appsTab, &registries.appConfigStore(), &options);
    apps.resize(560, 560);
    apps.show();
    EXPECT_EQ(shownIDs(apps), QStringList({"apps.lumapad", "apps.corvella"}));
    const AppSection *lumapad = apps.shownSections().first();
    const AppSection *corvella = apps.shownSections().last();
    EXPECT_EQ(lumapad->title(), "Lumapad");
    EXPECT_EQ(rowKeys(lumapad), QStringList({"apps.lumapad.theme", "apps.lumapad.showBackground"}));
    EXPECT_EQ(rowKeys(corvella), QStringList {"apps.corvella.theme"});
    // NotePlan is not installed: no section, and no option was added to the profile for it.
    EXPECT_EQ(profile.option("apps.noteplan.theme"), nullptr);
    installApp("NotePlan", "co.noteplan.NotePlan");
    apps.hide();
    apps.show();
    EXPECT_EQ(shownIDs(apps), QStringList({"apps.lumapad", "apps.corvella", "apps.noteplan"}));
    EXPECT_EQ(rowKeys(apps.shownSections().last()), QStringList {"apps.noteplan.theme"});
    TestSupport::saveScreenshot(&apps, "apps/apps-tab-notes");

    AppBasedEditorTab tools(&profile, AppBasedEditorTab::toolsTab, &registries.appConfigStore(), &options);
    tools.resize(560, 300);
    tools.show();
    EXPECT_EQ(shownIDs(tools), QStringList {"apps.iterm"});
    EXPECT_EQ(tools.shownSections().first()->title(), "iTerm");
    EXPECT_EQ(rowKeys(tools.shownSections().first()), QStringList {"tools.iterm.theme"});
    TestSupport::saveScreenshot(&tools, "apps/tools-tab-iterm");
}

TEST_F(ThemeSectionsTest, TheEditionChosenInSettingsIsTheOneThemedAndListed)
{
    installApp("Corvella", "com.quorvane.Corvella3");
    installApp("Corvella Direct", "com.quorvane.Corvella3-vandry");
    home.writeFile("Library/Application Support/com.quorvane.Corvella3-vandry/themes/Dusk.cvtheme", "{}");
    auto *config = registries.appConfigStore().requireConfig<CorvellaAppConfig>();
    auto *model = registries.optionStore().optionModel<CorvellaThemeOptionModel>();
    ASSERT_NE(model, nullptr);
    ThemePicker *corvellaPicker = picker(*model);
    EXPECT_EQ(corvellaPicker->entries().size(), 4); // the App Store edition is used: no themes of its own

    // The user picks the direct edition on the settings page: the next showing lists its themes, and
    // applying writes into its domain.
    AppBundlePicker row(config);
    row.show();
    ASSERT_EQ(row.state(), AppBundlePicker::State::choice);
    QComboBox *editions = row.picker();
    const int direct = editions->findData("com.quorvane.Corvella3-vandry");
    ASSERT_GE(direct, 0);
    editions->setCurrentIndex(direct);
    emit editions->activated(direct);
    EXPECT_EQ(config->currentBundleID(), "com.quorvane.Corvella3-vandry");
    corvellaPicker->show();
    EXPECT_EQ(corvellaPicker->entries().last().title, "Dusk");
    corvellaPicker->choose("Dusk");
    apply(*model, pickerProfile.value(model->key()));
    EXPECT_EQ(takeWrites(),
              (ThemeTests::Runs {{"write", "com.quorvane.Corvella3-vandry", "theme", "-string",
                                  home.filePath("Library/Application Support/"
                                                "com.quorvane.Corvella3-vandry/themes/Dusk.cvtheme")}}));
    TestSupport::saveScreenshot(&row, "apps/corvella-edition-choice");
}

} // namespace
