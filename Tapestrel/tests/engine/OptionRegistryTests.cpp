#include "Tapestrel/Registries.h"
#include "Tapestrel/apps/alfred/AlfredThemeOptionModel.h"
#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"
#include "Tapestrel/apps/iterm/ITermAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/apps/terminal/StartupTerminalThemeOptionModel.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/system/FolderColorOptionModel.h"

#include "RecordingOptionModel.h"

#include "testsupport/RunTask.h"

#include "platform/Workspace.h"

#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using EngineTests::registryKeys;
using TestSupport::runTask;

namespace {

QStringList keysOf(const QList<OptionModel *> &models)
{
    QStringList keys;
    for (const OptionModel *model : models)
        keys.append(model->key());
    return keys;
}

} // namespace

TEST(OptionStoreTest, HoldsTheTwentyEightModelsInRegistryOrderWithTheirPaths)
{
    Registries registries;
    OptionStore &store = registries.optionStore();
    const QList<OptionModel *> &models = store.options();
    EXPECT_EQ(keysOf(models), registryKeys);
    // The list is built once and kept.
    EXPECT_EQ(&store.options(), &models);
    for (const OptionModel *model : models) {
        EXPECT_EQ(model->id(), model->key());
        EXPECT_TRUE(model->displayPath().size() == 2 || model->displayPath().size() == 3)
            << model->key().toStdString();
    }

    int themeContainers = 0;
    for (OptionModel *model : models)
        themeContainers += dynamic_cast<ThemeContainer *>(model) != nullptr;
    // The theme models of the eleven applications and Terminal's second one.
    EXPECT_EQ(themeContainers, 12);
}

TEST(OptionStoreTest, FindsModelsByExactKeyAndByType)
{
    Registries registries;
    AppConfigStore &configs = registries.appConfigStore();
    OptionStore &store = registries.optionStore();
    for (const QString &key : registryKeys)
        EXPECT_EQ(store.model(key)->key(), key);
    for (const char *unregistered : {"apps.nova.editorTheme", "system.desktop.showMenuBarBackground",
                                     "system.ui.enableWallpaperTinting", "System.Ui.Appearance", ""})
        EXPECT_EQ(store.model(unregistered), nullptr) << unregistered;

    EXPECT_NE(store.optionModel<FolderColorOptionModel>(), nullptr);
    auto *startup = store.optionModel<StartupTerminalThemeOptionModel>();
    ASSERT_NE(startup, nullptr);
    EXPECT_EQ(startup->config(), configs.config<TerminalAppConfig>());
}

TEST(OptionStoreTest, OnlyApplicationsWithAGalleryShowTheGetMoreThemesButton)
{
    Registries registries;
    AppConfigStore &configs = registries.appConfigStore();
    OptionStore &store = registries.optionStore();
    QWidget parent;
    QList<QUrl> opened;
    Platform::Workspace::shared().setUrlOpener([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    const QStringList withButton = {"tools.iterm.theme", "apps.corvella.theme", "apps.lumapad.theme",
                                    "apps.alfred.theme", "apps.noteplan.theme"};
    for (OptionModel *model : store.options()) {
        QWidget *view = model->accessoryView(&parent);
        if (withButton.contains(model->key())) {
            auto *button = qobject_cast<QPushButton *>(view);
            ASSERT_NE(button, nullptr) << model->key().toStdString();
            button->click();
        } else {
            // Obsidian and VS Code have no gallery: nothing is shown, not a disabled button.
            EXPECT_EQ(view, nullptr) << model->key().toStdString();
        }
    }
    Platform::Workspace::shared().setUrlOpener({});
    EXPECT_EQ(opened,
              QList<QUrl>({*configs.config<ITermAppConfig>()->themesURL(),
                           *configs.config<CorvellaAppConfig>()->themesURL(),
                           *configs.config<LumapadAppConfig>()->themesURL(),
                           *configs.config<AlfredAppConfig>()->themesURL(),
                           *configs.config<NotePlanAppConfig>()->themesURL()}));
}

TEST(OptionValueTest, ReadsYesNoTexts)
{
    for (const char *yes : {"true", "TRUE", "tRuE", "1", "yes", "YES", "Yes"})
        EXPECT_EQ(boolFromOptionValue(yes), true) << yes;
    for (const char *no : {"false", "False", "0", "no", "NO", "nO"})
        EXPECT_EQ(boolFromOptionValue(no), false) << no;
    for (const char *neither : {" true", "true ", "2", "", "on", "01"})
        EXPECT_EQ(boolFromOptionValue(neither), std::nullopt) << neither;
}

TEST(OptionValueTest, ColourTextsRoundTripAndRejectWrongCounts)
{
    EXPECT_EQ(OptionValue::rgbaString(QColor(255, 0, 0)), "1.000000 0.000000 0.000000 1.000000");
    EXPECT_EQ(OptionValue::rgbaString(QColor::fromHsvF(0, 0, 0, 0)), "0.000000 0.000000 0.000000 0.000000");

    const auto red = OptionValue::colorFromRgbaString("1 0 0 1");
    ASSERT_TRUE(red);
    EXPECT_EQ(red->rgba(), QColor(255, 0, 0, 255).rgba());
    EXPECT_EQ(OptionValue::colorFromRgbaString("1  0 0 1"), red);
    // A piece that is not a number is skipped.
    EXPECT_EQ(OptionValue::colorFromRgbaString("1 x 0 0 1"), red);
    EXPECT_EQ(OptionValue::colorFromRgbaString("1 0 0"), std::nullopt);
    EXPECT_EQ(OptionValue::colorFromRgbaString("1 0 0 1 1"), std::nullopt);
    EXPECT_EQ(OptionValue::colorFromRgbaString(""), std::nullopt);
    EXPECT_EQ(OptionValue::colorFromRgbaString("nan 0 0 1"), std::nullopt);

    const QColor teal = QColor::fromRgbF(0.2f, 0.6f, 0.6f, 0.8f);
    const auto back = OptionValue::colorFromRgbaString(OptionValue::rgbaString(teal));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->rgba64(), teal.rgba64());
    // Out-of-range numbers from a hand-edited text are held to the valid range.
    EXPECT_EQ(OptionValue::colorFromRgbaString("2 -1 0 1")->rgba(), QColor(255, 0, 0).rgba());

    // The numbers are kept as read: six arbitrary decimals come back exactly, where a QColor's 16 bits
    // per channel would change them.
    for (const char *text : {"0.123456 0.654321 0.111111 1.000000", "0.000001 0.999999 0.500001 0.333333",
                             "0.000000 1.000000 0.000000 0.000000"}) {
        const auto color = OptionValue::rgbaFromString(text);
        ASSERT_TRUE(color) << text;
        EXPECT_EQ(color->text(), text);
    }
    EXPECT_EQ(OptionValue::rgbaFromString("-0 0.5 2 1")->text(), "0.000000 0.500000 1.000000 1.000000");
    EXPECT_EQ(OptionValue::rgbaFromString("0.1234564 0 0 1"), OptionValue::rgbaFromString("0.123456 0 0 1"));
    EXPECT_NE(OptionValue::rgbaFromString("0.123457 0 0 1"), OptionValue::rgbaFromString("0.123456 0 0 1"));
}
