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
    apply(model, NovaEditorThemeOptionModel::doNotSet);
    setDark(false);
    apply(model, "");
    EXPECT_EQ(takeWrites(),
              (Runs {{"write", bundleID, "EditorDarkTheme", "-string", "Panic Neon"},
                     {"write", bundleID, "EditorLightTheme", "-string", ""}}));
    EXPECT_TRUE(takeNotifications().isEmpty());
    setDark(true);
    EXPECT_EQ(read(model), "Panic Neon");

    EXPECT_EQ(registries.optionStore().model(model.key()), nullptr);
    EXPECT_EQ(registries.appConfigStore().config("apps.nova"), nullptr);
}
