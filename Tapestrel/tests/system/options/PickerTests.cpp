#include "PickerScreenshots.h"

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ToggleOptionPicker.h"
#include "Tapestrel/system/AccentColorPicker.h"
#include "Tapestrel/system/AppearancePicker.h"
#include "Tapestrel/system/AutoHideDockOptionModel.h"
#include "Tapestrel/system/AutoHideMenuBarOptionModel.h"
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

TEST(SystemPickerTest, AppearanceSegmentsWriteTheirTexts)
{
    Option option("system.ui.appearance", "auto");
    AppearancePicker picker(&option);
    EXPECT_EQ(picker.objectName(), "AppearancePicker");
    EXPECT_EQ(picker.title(), "Appearance");
    EXPECT_EQ(picker.titles(), (QStringList {"Light", "Dark"}));
    EXPECT_EQ(picker.selectedValue(), std::nullopt);

    ASSERT_TRUE(picker.choose("Dark"));
    EXPECT_EQ(option.value(), "dark");
    EXPECT_EQ(picker.selectedValue(), "dark");
    savePickerScreenshot(picker, "appearance");
    option.setValue("light");
    EXPECT_EQ(picker.selectedValue(), "light");
    option.setValue("");
    EXPECT_EQ(picker.selectedValue(), std::nullopt);
}

TEST(SystemPickerTest, DockPositionListsTheEdgesInOrder)
{
    Option option("system.dock.position", "bottom");
    DockPositionPicker picker(&option);
    EXPECT_EQ(picker.title(), "Dock Position");
    EXPECT_EQ(picker.titles(), (QStringList {"Left", "Bottom", "Right"}));
    EXPECT_EQ(picker.comboBox()->currentText(), "Bottom");
    ASSERT_TRUE(picker.choose("Left"));
    EXPECT_EQ(option.value(), "left");
    savePickerScreenshot(picker, "dock-position");
    option.setValue("top");
    EXPECT_EQ(picker.selectedValue(), std::nullopt);
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

    picker.slider()->setValue(500);
    EXPECT_EQ(option.value(), "0.5");
    picker.slider()->setValue(1000);
    EXPECT_EQ(option.value(), "1.0");
    picker.slider()->setValue(350);
    EXPECT_EQ(option.value(), "0.35");
    savePickerScreenshot(picker, "dock-size");
}

TEST(SystemPickerTest, DockTogglesShowOnUnlessTheValueIsExactlyFalse)
{
    Profile profile("P");
    AutoHideDockOptionModel autoHide;
    DockMagnificationOptionModel magnification;
    AutoHideMenuBarOptionModel menuBar;
    const std::pair<OptionModel *, QString> models[] = {{&autoHide, "Auto Hide Dock"},
                                                        {&magnification, "Enable Magnification"},
                                                        {&menuBar, "Auto Hide Menu Bar"}};
    for (const auto &[model, title] : models) {
        Option option(model->key(), "");
        std::unique_ptr<QWidget> widget(model->makePicker(&option, &profile, nullptr));
        auto *toggle = qobject_cast<ToggleOptionPicker *>(widget.get());
        ASSERT_TRUE(toggle);
        EXPECT_EQ(toggle->title(), title);
        EXPECT_TRUE(toggle->isOn());
        option.setValue("yes");
        EXPECT_TRUE(toggle->isOn());
        option.setValue("False"); // only the exact text switches it off
        EXPECT_TRUE(toggle->isOn());
        toggle->toggle()->click();
        EXPECT_EQ(option.value(), "false");
        EXPECT_FALSE(toggle->isOn());
        toggle->toggle()->click();
        EXPECT_EQ(option.value(), "true");
        savePickerScreenshot(*toggle, model->key());
    }
}

TEST(SystemPickerTest, LiquidGlassSegmentsStoreTheSystemDigits)
{
    Option option("system.desktop.liquidGlassStyle", "");
    LiquidGlassStylePicker picker(&option);
    EXPECT_EQ(picker.title(), "Liquid Glass");
    EXPECT_EQ(picker.titles(), (QStringList {"Clear", "Tinted"}));
    EXPECT_EQ(picker.selectedValue(), std::nullopt);
    picker.choose("Tinted");
    EXPECT_EQ(option.value(), "1");
    picker.choose("Clear");
    EXPECT_EQ(option.value(), "0");
    savePickerScreenshot(picker, "liquid-glass");
}

TEST(SystemPickerTest, ThemeColorListsMulticolorFirstThenTheSystemOrder)
{
    Option option("system.ui.accentColor", "multicolor");
    AccentColorPicker picker(&option);
    EXPECT_EQ(picker.title(), "Theme Color");
    EXPECT_EQ(picker.titles(),
              (QStringList {"Multicolor", "Blue", "Purple", "Pink", "Red", "Orange", "Yellow", "Green",
                            "Graphite"}));
    EXPECT_TRUE(picker.hasSeparatorAfter("Multicolor"));
    EXPECT_FALSE(picker.hasSeparatorAfter("Blue"));
    // A separator sits between Multicolor and the colours; the colours carry swatches.
    EXPECT_EQ(picker.comboBox()->count(), 10);
    EXPECT_TRUE(picker.comboBox()->itemIcon(0).isNull());
    EXPECT_FALSE(picker.comboBox()->itemIcon(2).isNull());
    for (const auto &[entry, value] :
         {std::pair {"Graphite", "graphite"}, {"Pink", "pink"}, {"Multicolor", "multicolor"}}) {
        picker.choose(entry);
        EXPECT_EQ(option.value(), value);
        EXPECT_EQ(picker.comboBox()->currentText(), entry);
    }
    option.setValue("teal");
    EXPECT_EQ(picker.selectedValue(), std::nullopt);
    option.setValue("blue");
    savePickerScreenshot(picker, "theme-color");
}

TEST(SystemPickerTest, IconStylesComeInGroupsAndStoreTheSystemTexts)
{
    Option option("system.desktop.iconAndWidgetStyle", "default");
    IconAndWidgetStylePicker picker(&option);
    EXPECT_EQ(picker.title(), "Icon and Widget Style");
    EXPECT_EQ(picker.titles(),
              (QStringList {"Default", "Dark: Always", "Dark: Auto", "Clear: Light", "Clear: Dark",
                            "Clear: Auto", "Tinted: Light", "Tinted: Dark", "Tinted: Auto"}));
    QStringList dividedAfter;
    for (const QString &entry : picker.titles()) {
        if (picker.hasSeparatorAfter(entry))
            dividedAfter.append(entry);
    }
    EXPECT_EQ(dividedAfter, (QStringList {"Default", "Dark: Auto", "Clear: Auto"}));
    const std::pair<const char *, const char *> rows[] = {
        {"Dark: Always", "RegularDark"},     {"Dark: Auto", "RegularAutomatic"},
        {"Clear: Light", "ClearLight"},      {"Clear: Auto", "ClearAutomatic"},
        {"Tinted: Auto", "TintedAutomatic"}, {"Default", "default"}};
    for (const auto &[entry, value] : rows) {
        picker.choose(entry);
        EXPECT_EQ(option.value(), value);
    }
    picker.choose("Tinted: Dark");
    savePickerScreenshot(picker, "icon-and-widget-style");
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

TEST(SystemPickerTest, DesktopAndUnregisteredTogglesCarryTheirTitles)
{
    Profile profile("P");
    EnableStageManagerOptionModel stageManager;
    ShowIconsOptionModel icons;
    ShowWidgetsOptionModel widgets;
    ShowMenuBarBackgroundOptionModel menuBar;
    WallpaperTintingOptionModel tinting;
    const std::pair<OptionModel *, QString> models[] = {{&stageManager, "Stage Manager"},
                                                        {&icons, "Show Icons"},
                                                        {&widgets, "Show Widgets"},
                                                        {&menuBar, "Show menu bar background"},
                                                        {&tinting, "Allow wallpaper tinting in windows"}};
    for (const auto &[model, title] : models) {
        Option option(model->key(), "false");
        std::unique_ptr<QWidget> widget(model->makePicker(&option, &profile, nullptr));
        auto *toggle = qobject_cast<ToggleOptionPicker *>(widget.get());
        ASSERT_TRUE(toggle) << model->key().toStdString();
        EXPECT_EQ(toggle->title(), title);
        EXPECT_FALSE(toggle->isOn());
        toggle->toggle()->click();
        EXPECT_EQ(option.value(), "true");
        savePickerScreenshot(*toggle, model->key());
    }
    EXPECT_EQ(tinting.displayPath(), (QStringList {"System", "Allow wallpaper tinting in windows"}));
    EXPECT_EQ(menuBar.displayPath(), (QStringList {"System", "Appearance", "Show Menu Bar Background"}));
}

} // namespace
