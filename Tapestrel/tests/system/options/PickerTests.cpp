#include "PickerScreenshots.h"

#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadShowBackgroundOptionModel.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ToggleOptionPicker.h"
#include "Tapestrel/system/AccentColorPicker.h"
#include "Tapestrel/system/AppearancePicker.h"
#include "Tapestrel/system/AutoHideDockOptionModel.h"
#include "Tapestrel/system/AutoHideMenuBarOptionModel.h"
#include "Tapestrel/system/ChoiceOptionPicker.h"
#include "Tapestrel/system/DockMagnificationOptionModel.h"
#include "Tapestrel/system/DockPositionPicker.h"
#include "Tapestrel/system/DockSizePicker.h"
#include "Tapestrel/system/EnableStageManagerOptionModel.h"
#include "Tapestrel/system/FolderColorOptionModel.h"
#include "Tapestrel/system/FolderColorPicker.h"
#include "Tapestrel/system/IconAndWidgetStylePicker.h"
#include "Tapestrel/system/LiquidGlassStylePicker.h"
#include "Tapestrel/system/ShowIconsOptionModel.h"
#include "Tapestrel/system/ShowMenuBarBackgroundOptionModel.h"
#include "Tapestrel/system/ShowWidgetsOptionModel.h"
#include "Tapestrel/system/SystemColor.h"
#include "Tapestrel/system/WallpaperTintingOptionModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

// Each picker of a choice: its entries in order, what each writes, separators in pop-ups, and nothing
// selected for a value that is none of its choices (which showing never overwrites).
TEST(SystemPickerTest, ChoicePickersListTheirEntriesAndWriteTheirValues)
{
    const struct
    {
        const char *key;
        std::function<ChoiceOptionPicker *(Option *)> make;
        QString title;
        QStringList titles;
        QList<std::pair<QString, QString>> writes; // an entry and the value it writes
        QStringList dividedAfter;
    } rows[] = {
        {"appearance",
         [](Option *option) { return new AppearancePicker(option); },
         "Appearance",
         QString("Light|Dark").split('|'),
         {{"Dark", "dark"}, {"Light", "light"}},
         {}},
        {"dock-position",
         [](Option *option) { return new DockPositionPicker(option); },
         "Dock Position",
         QString("Left|Bottom|Right").split('|'),
         {{"Left", "left"}, {"Right", "right"}, {"Bottom", "bottom"}},
         {}},
        {"liquid-glass",
         [](Option *option) { return new LiquidGlassStylePicker(option); },
         "Liquid Glass",
         QString("Clear|Tinted").split('|'),
         {{"Tinted", "1"}, {"Clear", "0"}},
         {}},
        {"theme-color",
         [](Option *option) { return new AccentColorPicker(option); },
         "Theme Color",
         QString("Multicolor|Blue|Purple|Pink|Red|Orange|Yellow|Green|Graphite").split('|'),
         {{"Graphite", "graphite"}, {"Pink", "pink"}, {"Multicolor", "multicolor"}, {"Blue", "blue"}},
         {"Multicolor"}},
        {"icon-and-widget-style",
         [](Option *option) { return new IconAndWidgetStylePicker(option); },
         "Icon and Widget Style",
         QString("Default|Dark: Always|Dark: Auto|Clear: Light|Clear: Dark|Clear: Auto|Tinted: Light|"
                 "Tinted: Dark|Tinted: Auto")
             .split('|'),
         {{"Dark: Always", "RegularDark"},
          {"Dark: Auto", "RegularAutomatic"},
          {"Clear: Light", "ClearLight"},
          {"Clear: Auto", "ClearAutomatic"},
          {"Tinted: Auto", "TintedAutomatic"},
          {"Default", "default"},
          {"Tinted: Dark", "TintedDark"}},
         {"Default", "Dark: Auto", "Clear: Auto"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.key);
        Option option(row.key, "Dark");
        std::unique_ptr<ChoiceOptionPicker> picker(row.make(&option));
        EXPECT_EQ(picker->title(), row.title);
        EXPECT_EQ(picker->titles(), row.titles);
        EXPECT_EQ(picker->selectedValue(), std::nullopt);
        EXPECT_EQ(option.value(), "Dark");
        QStringList dividedAfter;
        for (const QString &entry : picker->titles()) {
            if (picker->hasSeparatorAfter(entry))
                dividedAfter.append(entry);
        }
        EXPECT_EQ(dividedAfter, row.dividedAfter);
        for (const auto &[entry, value] : row.writes) {
            ASSERT_TRUE(picker->choose(entry));
            EXPECT_EQ(option.value(), value);
            EXPECT_EQ(picker->selectedValue(), value);
            if (picker->comboBox()) {
                EXPECT_EQ(picker->comboBox()->currentText(), entry);
            }
        }
        // A value set elsewhere shows.
        option.setValue(row.writes.first().second);
        EXPECT_EQ(picker->selectedValue(), row.writes.first().second);
        savePickerScreenshot(*picker, row.key);
    }

    // The theme colours carry swatches; Multicolor, a separator after it, none.
    Option option("system.ui.accentColor", "multicolor");
    AccentColorPicker accent(&option);
    EXPECT_EQ(accent.comboBox()->count(), 10);
    EXPECT_TRUE(accent.comboBox()->itemIcon(0).isNull());
    EXPECT_FALSE(accent.comboBox()->itemIcon(2).isNull());
}

TEST(SystemPickerTest, DockSizeSliderReadsNumbersAndWritesItsPosition)
{
    Option option("system.dock.size", "abc");
    DockSizePicker picker(&option);
    EXPECT_EQ(picker.labels(), (QStringList {"Size", "Small", "Large"}));
    EXPECT_DOUBLE_EQ(picker.size(), 0.35);
    EXPECT_EQ(picker.slider()->value(), 350);
    EXPECT_EQ(option.value(), "abc"); // showing a value never writes it

    option.setValue(" 0.8");
    EXPECT_DOUBLE_EQ(picker.size(), 0.35);
    option.setValue("0.8");
    EXPECT_NEAR(picker.size(), 0.8, 1e-6);
    EXPECT_EQ(picker.slider()->value(), 800);

    for (const auto &[position, value] : {std::pair {500, "0.5"}, {1000, "1.0"}, {350, "0.35"}}) {
        picker.slider()->setValue(position);
        EXPECT_EQ(option.value(), value);
    }
    savePickerScreenshot(picker, "dock-size");
}

// Every toggle, the system's and an application's, is on unless its value is exactly "false", and writes
// "true" or "false".
TEST(SystemPickerTest, TogglesCarryTheirTitlesAndShowOnUnlessTheValueIsExactlyFalse)
{
    Profile profile("P");
    AutoHideDockOptionModel autoHide;
    DockMagnificationOptionModel magnification;
    AutoHideMenuBarOptionModel menuBar;
    EnableStageManagerOptionModel stageManager;
    ShowIconsOptionModel icons;
    ShowWidgetsOptionModel widgets;
    ShowMenuBarBackgroundOptionModel menuBarBackground;
    WallpaperTintingOptionModel tinting;
    LumapadAppConfig lumapad;
    LumapadShowBackgroundOptionModel noteBackground(&lumapad, true);
    const std::pair<OptionModel *, QString> models[] = {{&noteBackground, "Show Note Background"},
                                                        {&autoHide, "Auto Hide Dock"},
                                                        {&magnification, "Enable Magnification"},
                                                        {&menuBar, "Auto Hide Menu Bar"},
                                                        {&stageManager, "Stage Manager"},
                                                        {&icons, "Show Icons"},
                                                        {&widgets, "Show Widgets"},
                                                        {&menuBarBackground, "Show menu bar background"},
                                                        {&tinting, "Allow wallpaper tinting in windows"}};
    for (const auto &[model, title] : models) {
        SCOPED_TRACE(model->key().toStdString());
        Option option(model->key(), "");
        std::unique_ptr<QWidget> widget(model->makePicker(&option, &profile, nullptr));
        auto *toggle = qobject_cast<ToggleOptionPicker *>(widget.get());
        ASSERT_TRUE(toggle);
        EXPECT_EQ(toggle->title(), title);
        for (const char *on : {"", "yes", "False"}) {
            option.setValue(on);
            EXPECT_TRUE(toggle->isOn()) << on;
        }
        option.setValue("false");
        EXPECT_FALSE(toggle->isOn());
        toggle->toggle()->click();
        EXPECT_EQ(option.value(), "true");
        toggle->toggle()->click();
        EXPECT_EQ(option.value(), "false");
        savePickerScreenshot(*toggle, model->key());
    }
    EXPECT_EQ(tinting.displayPath(), (QStringList {"System", "Allow wallpaper tinting in windows"}));
    EXPECT_EQ(menuBarBackground.displayPath(),
              (QStringList {"System", "Appearance", "Show Menu Bar Background"}));
}

TEST(SystemPickerTest, FolderColorFollowsTheProfileAndKeepsTheCustomColour)
{
    Profile profile("P");
    auto *folder = new Option("system.finder.folderColor", "not json", &profile);
    FolderColorOptionModel model("AppleIconAppearanceTintColor", "AppleIconAppearanceCustomTintColor");
    std::unique_ptr<QWidget> widget(model.makePicker(folder, &profile, nullptr));
    auto *picker = qobject_cast<FolderColorPicker *>(widget.get());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->objectName(), "FolderColorPicker");
    EXPECT_EQ(picker->titles(),
              (QStringList {"Auto", "Red", "Orange", "Yellow", "Green", "Blue", "Purple", "Pink", "Graphite",
                            "Custom"}));
    EXPECT_TRUE(picker->hasSeparatorAfter("Custom"));
    EXPECT_EQ(picker->comboBox()->currentText(), "Auto"); // an undecodable value shows as Auto
    EXPECT_FALSE(picker->isColorWellVisible());
    EXPECT_EQ(folder->value(), "not json");

    // The title and the Auto swatch follow the profile's icon style and theme colour.
    EXPECT_EQ(picker->title(), "Folder Color");
    EXPECT_EQ(picker->swatchColor(FolderColor::Kind::automatic), SystemColors::color(SystemColor::blue));
    auto *style = new Option("system.desktop.iconAndWidgetStyle", "TintedLight", &profile);
    auto *accent = new Option("system.ui.accentColor", "pink", &profile);
    EXPECT_EQ(picker->title(), "Icon, widget & folder color");
    EXPECT_EQ(picker->swatchColor(FolderColor::Kind::automatic), SystemColors::color(SystemColor::pink));
    style->setValue("RegularDark");
    accent->setValue("multicolor");
    EXPECT_EQ(picker->title(), "Folder Color");
    EXPECT_EQ(picker->swatchColor(FolderColor::Kind::automatic), SystemColors::color(SystemColor::blue));

    picker->choose("Red");
    EXPECT_EQ(folder->value(), R"({"kind":"red","customColor":null})");
    picker->choose("Custom");
    EXPECT_EQ(folder->value(), R"({"kind":"custom","customColor":null})");
    EXPECT_TRUE(picker->isColorWellVisible());
    EXPECT_EQ(picker->colorWellColor(), QColor(Qt::black));
    picker->chooseCustomColor(QColor(51, 102, 153));
    const QString custom = R"({"kind":"custom","customColor":"0.200000 0.400000 0.600000 1.000000"})";
    EXPECT_EQ(folder->value(), custom);
    savePickerScreenshot(*picker, "folder-color-custom");

    // Another kind hides the well but keeps the colour, so coming back shows it again.
    picker->choose("Blue");
    EXPECT_FALSE(picker->isColorWellVisible());
    EXPECT_EQ(folder->value(), R"({"kind":"blue","customColor":"0.200000 0.400000 0.600000 1.000000"})");
    picker->choose("Custom");
    EXPECT_EQ(folder->value(), custom);
    EXPECT_EQ(picker->colorWellColor(), QColor(51, 102, 153));
}

} // namespace
