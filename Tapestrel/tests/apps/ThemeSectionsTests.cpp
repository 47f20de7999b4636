// Option.h first: the fixture sets option values.
#include "Tapestrel/model/Option.h"

#include "ThemeTestSupport.h"

#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"
#include "Tapestrel/apps/corvella/CorvellaThemeOptionModel.h"
#include "Tapestrel/apps/frame/ThemePicker.h"
#include "Tapestrel/apps/iterm/ITermAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/AppBundlePicker.h"
#include "Tapestrel/ui/AppSection.h"
#include "Tapestrel/ui/EditorPicker.h"

#include "platform/CloudKeyValueStore.h"

#include "testsupport/Screenshots.h"

#include <QComboBox>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class ThemeSectionsTest : public ThemeTests::ThemeAppTest
{
protected:
    ThemeSectionsTest() { OptionStore::setShared(&registries.optionStore()); }
    ~ThemeSectionsTest() override { OptionStore::setShared(nullptr); }

    AppSection *section(AppConfig *config, QWidget *parent)
    {
        auto *made = qobject_cast<AppSection *>(config->makeSection(&profile, &options, parent));
        EXPECT_NE(made, nullptr) << config->appName().toStdString();
        parent->layout()->addWidget(made);
        return made;
    }

    static QStringList rowKeys(const AppSection *section)
    {
        QStringList keys;
        for (const EditorPicker *row : section->findChildren<EditorPicker *>())
            keys.append(row->key());
        return keys;
    }

    Platform::CloudKeyValueStore cloud {home.filePath("cloud.plist")};
    SynchronizedOptionsStore options {cloud};
    Profile profile {QStringLiteral("Evening")};
};

TEST_F(ThemeSectionsTest, SectionsShowTheirRowsForInstalledApplications)
{
    AppConfigStore &configs = registries.appConfigStore();
    installApp("Corvella", "com.quorvane.Corvella3");
    installApp("Corvella Direct", "com.quorvane.Corvella3-vendra");
    installApp("Lumapad", "com.quorvane.Lumapad");
    installApp("iTerm", "com.googlecode.iterm2");
    home.writeFile("Applications/Corvella.app/Contents/Resources/Paper.cvtheme", "{}");
    profile.findOrCreateOption("tools.iterm.theme")->setValue("Solarized Dark");
    profile.findOrCreateOption("apps.lumapad.showBackground")->setValue("false");

    QWidget tab;
    tab.setLayout(new QVBoxLayout);
    AppSection *corvella = section(configs.requireConfig<CorvellaAppConfig>(), &tab);
    AppSection *lumapad = section(configs.requireConfig<LumapadAppConfig>(), &tab);
    AppSection *notePlan = section(configs.requireConfig<NotePlanAppConfig>(), &tab);
    AppSection *iterm = section(configs.requireConfig<ITermAppConfig>(), &tab);
    ASSERT_TRUE(corvella && lumapad && notePlan && iterm);

    EXPECT_EQ(corvella->title(), "Corvella");
    EXPECT_EQ(rowKeys(corvella), QStringList {"apps.corvella.theme"});
    EXPECT_EQ(rowKeys(lumapad), QStringList({"apps.lumapad.theme", "apps.lumapad.showBackground"}));
    EXPECT_EQ(rowKeys(iterm), QStringList {"tools.iterm.theme"});
    EXPECT_EQ(iterm->title(), "iTerm");
    EXPECT_TRUE(corvella->isPresent() && lumapad->isPresent() && iterm->isPresent());
    // NotePlan is not installed: no section, and no option was added to the profile for it.
    EXPECT_FALSE(notePlan->isPresent());
    EXPECT_TRUE(rowKeys(notePlan).isEmpty());
    EXPECT_EQ(profile.option("apps.noteplan.theme"), nullptr);

    installApp("NotePlan", "co.noteplan.NotePlan");
    notePlan->refresh();
    EXPECT_EQ(rowKeys(notePlan), QStringList {"apps.noteplan.theme"});
    tab.resize(560, 520);
    tab.show();
    TestSupport::saveScreenshot(&tab, "apps/theme-sections");
}

TEST_F(ThemeSectionsTest, TheEditionChosenInSettingsIsTheOneThemedAndListed)
{
    installApp("Corvella", "com.quorvane.Corvella3");
    installApp("Corvella Direct", "com.quorvane.Corvella3-vendra");
    home.writeFile("Library/Application Support/com.quorvane.Corvella3-vendra/themes/Dusk.cvtheme", "{}");
    auto *config = registries.appConfigStore().requireConfig<CorvellaAppConfig>();
    auto *model = registries.optionStore().optionModel<CorvellaThemeOptionModel>();
    ASSERT_NE(model, nullptr);
    Option *option = profile.findOrCreateOption("apps.corvella.theme");
    std::unique_ptr<QWidget> widget(model->makePicker(option, &profile, nullptr));
    auto *picker = qobject_cast<ThemePicker *>(widget.get());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->entries().size(), 4); // the App Store edition is used: no themes of its own

    // The user picks the direct edition on the settings page: the next showing lists its themes, and
    // applying writes into its domain.
    AppBundlePicker row(config);
    row.show();
    ASSERT_EQ(row.state(), AppBundlePicker::State::choice);
    QComboBox *editions = row.picker();
    const int direct = editions->findData("com.quorvane.Corvella3-vendra");
    ASSERT_GE(direct, 0);
    editions->setCurrentIndex(direct);
    emit editions->activated(direct);
    EXPECT_EQ(config->currentBundleID(), "com.quorvane.Corvella3-vendra");
    widget->show();
    EXPECT_EQ(picker->entries().last().title, "Dusk");
    picker->choose("Dusk");
    apply(*model, option->value());
    EXPECT_EQ(takeWrites(),
              (ThemeTests::Runs {{"write", "com.quorvane.Corvella3-vendra", "theme", "-string",
                                  home.filePath("Library/Application Support/"
                                                "com.quorvane.Corvella3-vendra/themes/Dusk.cvtheme")}}));
    TestSupport::saveScreenshot(&row, "apps/corvella-edition-choice");
}

} // namespace
