#include "ThemeTestSupport.h"

#include "Tapestrel/apps/nova/NovaEditorThemeOptionModel.h"
#include "Tapestrel/apps/nova/NovaEditorThemePicker.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"

#include <gtest/gtest.h>

using namespace ThemeTests;

TEST_F(ThemeAppTest, NovaWritesItsSlotWhenInstalledAndIsRegisteredNowhere)
{
    const QString bundleID = QStringLiteral("com.panic.Nova");
    NovaAppConfig config(bundleID, "Nova");
    NovaEditorThemeOptionModel model(&config);

    Profile profile("P");
    Option *option = profile.findOrCreateOption(model.key());
    option->setValue(NovaEditorThemeOptionModel::doNotSet);
    std::unique_ptr<QWidget> widget(model.makePicker(option, &profile, nullptr));
    auto *picker = qobject_cast<NovaEditorThemePicker *>(widget.get());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->title(), "Editor Theme");
    QStringList titles;
    for (const auto &entry : picker->entries())
        titles.append(entry.kind == ThemePicker::Entry::Kind::divider ? "-"
                                                                      : entry.title + "=" + entry.value);
    EXPECT_EQ(titles,
              QStringList({"Don't set=<do-not-set>", "-", "Built-in Themes=", "Bright=Panic Bright",
                           "Dark=Panic Dark", "Neon=Panic Neon", "Palette=Panic Palette", "Custom Themes="}));
    EXPECT_EQ(picker->selectedValue(), NovaEditorThemeOptionModel::doNotSet);

    setDark(true);
    apply(model, "Panic Neon");
    EXPECT_EQ(read(model), std::nullopt);
    EXPECT_TRUE(takeWrites().isEmpty()) << "Nova is not installed";

    installApp("Nova", bundleID);
    apply(model, "Panic Neon");
    setDark(false);
    apply(model, "Panic Bright");
    EXPECT_EQ(takeWrites(),
              (Runs {{"write", bundleID, "EditorDarkTheme", "-string", "Panic Neon"},
                     {"write", bundleID, "EditorLightTheme", "-string", "Panic Bright"}}));
    EXPECT_TRUE(takeNotifications().isEmpty());

    // "Don't set", and the empty text a profile holds when it was read while Nova had no theme stored,
    // leave the theme the user chose as it is.
    for (const bool dark : {false, true}) {
        setDark(dark);
        apply(model, NovaEditorThemeOptionModel::doNotSet);
        apply(model, "");
    }
    EXPECT_TRUE(takeWrites().isEmpty());
    EXPECT_EQ(read(model), "Panic Neon");
    setDark(false);
    EXPECT_EQ(read(model), "Panic Bright");

    EXPECT_EQ(registries.optionStore().model(model.key()), nullptr);
    EXPECT_EQ(registries.appConfigStore().config("apps.nova"), nullptr);
}
