#include "SystemOptionTest.h"

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

using Values = QList<std::pair<QString, QString>>;

// Two profiles' worth of system settings, each value one that its picker can produce, the second
// turning every setting the other way.
const Values first = {
    {"system.ui.appearance", "dark"},
    {"system.desktop.liquidGlassStyle", "1"},
    {"system.ui.accentColor", "purple"},
    {"system.finder.folderColor", R"({"kind":"custom","customColor":"0.200000 0.400000 0.600000 1.000000"})"},
    {"system.desktop.iconAndWidgetStyle", "TintedDark"},
    {"system.desktop.dock.enableMagnification", "true"},
    {"system.dock.position", "left"},
    {"system.dock.size", "0.5"},
    {"system.desktop.dock.autoHide", "true"},
    {"system.misc.autoHideMenuBar", "true"},
    {"system.desktop.stageManager.enable", "true"},
    {"system.ui.desktop.ShowIcons", "false"},
    {"system.ui.desktop.ShowWidgets", "true"},
};
const Values second = {
    {"system.ui.appearance", "light"},
    {"system.desktop.liquidGlassStyle", "0"},
    {"system.ui.accentColor", "multicolor"},
    {"system.finder.folderColor", R"({"kind":"graphite","customColor":null})"},
    {"system.desktop.iconAndWidgetStyle", "ClearAutomatic"},
    {"system.desktop.dock.enableMagnification", "false"},
    {"system.dock.position", "right"},
    {"system.dock.size", "0.25"},
    {"system.desktop.dock.autoHide", "false"},
    {"system.misc.autoHideMenuBar", "false"},
    {"system.desktop.stageManager.enable", "false"},
    {"system.ui.desktop.ShowIcons", "true"},
    {"system.ui.desktop.ShowWidgets", "false"},
};

class SystemProfileRoundTripTest : public SystemOptionTest
{
protected:
    // The registry's system models, in registry order; the background is not one of them.
    static QList<OptionModel *> systemModels()
    {
        QList<OptionModel *> models;
        for (OptionModel *model : OptionStore::shared().options()) {
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

} // namespace
