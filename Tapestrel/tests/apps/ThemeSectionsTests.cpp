// Option.h first: the fixture sets option values.
#include "Tapestrel/model/Option.h"

#include "ThemeTestSupport.h"

#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"
#include "Tapestrel/apps/iterm/ITermAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/AppSection.h"
#include "Tapestrel/ui/EditorPicker.h"

#include "platform/CloudKeyValueStore.h"

#include "testsupport/Screenshots.h"

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

} // namespace
