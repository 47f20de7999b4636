#include "SystemOptionTest.h"
#include "SystemProfileSamples.h"

#include "Tapestrel/Registries.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/system/SystemOptionDefaults.h"
#include "platform/GnomeDesktop.h"
#include "testsupport/GnomeSettings.h"
#include "testsupport/SelectedDesktop.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

using namespace SystemProfileSamples;

class SystemProfileRoundTripTest : public SystemOptionTest
{
protected:
    // The registry's system models, in registry order; the background is not one of them.
    static QList<OptionModel *> systemModels()
    {
        static Registries registries;
        QList<OptionModel *> models;
        for (OptionModel *model : registries.optionStore().options()) {
            if (model->key().startsWith("system.") && model->key() != "system.desktop.background.picture")
                models.append(model);
        }
        return models;
    }

    static std::unique_ptr<Profile> profileOf(const Values &values)
    {
        auto profile = std::make_unique<Profile>("Saved");
        for (const auto &[key, value] : values)
            new Option(key, value, profile.get());
        return profile;
    }

    // Applies every model the way the profile walk does and gives the Dock-restart flag.
    bool applyAll(Profile *profile)
    {
        auto flag = std::make_shared<bool>(false);
        for (OptionModel *model : systemModels())
            TestSupport::runTask(
                model->apply(profile->value(model->key()), QPointer<Profile>(profile), flag));
        return *flag;
    }

    // Reads every model into a new profile, each value stored before the next model reads.
    std::unique_ptr<Profile> readAll()
    {
        auto profile = std::make_unique<Profile>("Current");
        for (OptionModel *model : systemModels()) {
            const auto value =
                TestSupport::runTask(model->readCurrentValue(QPointer<Profile>(profile.get())));
            profile->findOrCreateOption(model->key())->setValue(value.value_or(QString()));
        }
        return profile;
    }

    static Values valuesOf(const Profile &profile)
    {
        Values values;
        for (const Option *option : profile.options())
            values.append({option->key(), option->value()});
        return values;
    }
};

TEST_F(SystemProfileRoundTripTest, AppliedProfilesReadBackAsTheSameValues)
{
    ASSERT_EQ(systemModels().size(), 13);
    QStringList keys;
    for (const auto &[key, value] : first)
        keys.append(key);
    QStringList registryKeys;
    for (OptionModel *model : systemModels())
        registryKeys.append(model->key());
    ASSERT_EQ(registryKeys, keys);

    const auto saved = profileOf(first);
    EXPECT_TRUE(applyAll(saved.get())); // the icon style changed
    EXPECT_EQ(valuesOf(*readAll()), first);

    const auto other = profileOf(second);
    EXPECT_TRUE(applyAll(other.get()));
    EXPECT_EQ(valuesOf(*readAll()), second);

    // Applying the same profile again changes no style, so nothing asks for the Dock.
    SystemOptionDefaults::clearHistory();
    EXPECT_FALSE(applyAll(other.get()));
    for (const QStringList &run : SystemOptionDefaults::history())
        EXPECT_NE(run.value(2), "AppleIconAppearanceTheme");

    // And back: every setting returns.
    applyAll(saved.get());
    EXPECT_EQ(valuesOf(*readAll()), first);
}

TEST_F(SystemProfileRoundTripTest, OnGnomeProfilesChangeTheDesktopAndReadBackFromIt)
{
    TestSupport::GnomeSettings gnome;
    ASSERT_TRUE(gnome.isValid()) << gnome.error().toStdString();
    // The desktop starts out unlike either profile.
    ASSERT_TRUE(
        gnome.seed("[org/gnome/shell/extensions/dash-to-dock]\ndock-position='BOTTOM'\nautohide=false\n"));
    TestSupport::SelectedDesktop selected(std::make_shared<Platform::GnomeDesktop>(
        Platform::GnomeDesktop::Store {gnome.schemaFolder(), gnome.keyfile()}));
    const QString interface = QStringLiteral("org/gnome/desktop/interface");
    const QString dock = QStringLiteral("org/gnome/shell/extensions/dash-to-dock");

    const auto saved = profileOf(first);
    applyAll(saved.get());
    EXPECT_EQ(gnome.value(interface, "color-scheme"), "'prefer-dark'");
    EXPECT_EQ(gnome.value(interface, "accent-color"), "'purple'");
    EXPECT_EQ(gnome.value(dock, "dock-position"), "'LEFT'");
    EXPECT_EQ(gnome.value(dock, "dash-max-icon-size"), "40");
    EXPECT_EQ(gnome.value(dock, "dock-fixed"), "false");
    EXPECT_EQ(gnome.value(dock, "autohide"), "true");
    EXPECT_EQ(valuesOf(*readAll()), first);

    const auto other = profileOf(second);
    applyAll(other.get());
    EXPECT_EQ(gnome.value(interface, "color-scheme"), "'default'");
    EXPECT_EQ(gnome.value(interface, "accent-color"), std::nullopt);
    EXPECT_EQ(gnome.value(dock, "dock-position"), "'RIGHT'");
    EXPECT_EQ(gnome.value(dock, "dash-max-icon-size"), "28");
    EXPECT_EQ(gnome.value(dock, "dock-fixed"), "true");
    EXPECT_EQ(valuesOf(*readAll()), second);

    // What the desktop's own settings changed is what the current settings read.
    auto changed = std::make_shared<Platform::GnomeDesktop>(
        Platform::GnomeDesktop::Store {gnome.schemaFolder(), gnome.keyfile()});
    changed->setDarkMode(true);
    changed->setAccentColor("graphite");
    changed->setDockPosition("left");
    TestSupport::SelectedDesktop after(changed);
    const Values current = valuesOf(*readAll());
    EXPECT_TRUE(current.contains({"system.ui.appearance", "dark"}));
    EXPECT_TRUE(current.contains({"system.ui.accentColor", "graphite"}));
    EXPECT_TRUE(current.contains({"system.dock.position", "left"}));
}

} // namespace
