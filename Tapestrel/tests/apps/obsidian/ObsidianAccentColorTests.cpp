#include "Tapestrel/apps/obsidian/ObsidianAccentColor.h"
#include "Tapestrel/apps/obsidian/ObsidianAccentColorPicker.h"
// Option.h needs the whole Profile type.
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/Option.h"

#include <QComboBox>

#include <gtest/gtest.h>

using namespace ObsidianAccentColors;

TEST(ObsidianAccentColor, ValuesChoicesAndColourTexts)
{
    EXPECT_EQ(fromValue("doNotChange"), ObsidianAccentColor::doNotChange);
    EXPECT_EQ(fromValue("defaultColor"), ObsidianAccentColor::defaultColor);
    EXPECT_EQ(fromValue(""), ObsidianAccentColor::doNotChange) << "the empty text sets nothing";
    for (const char *value : {"#00FF00", "custom", "DoNotChange", "anything"})
        EXPECT_EQ(fromValue(value), ObsidianAccentColor::custom) << value;

    const struct
    {
        const char *text;
        std::optional<QColor> color;
    } texts[] = {
        {" #00ff00\n", QColor(0, 255, 0)},
        {"#7F6DF2", QColor(0x7F, 0x6D, 0xF2)},
        {"#12zzzz", QColor(0, 0, 0x12)}, // the leading digits are the number
        {"#00FF0", std::nullopt},
        {"00FF00", std::nullopt},
        {"#00FF000", std::nullopt},
        {"#zz0000", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &entry : texts)
        EXPECT_EQ(accentColor(entry.text), entry.color) << entry.text;

    EXPECT_EQ(accentHexString(QColor::fromRgbF(0.5f, 0, 1)), "#8000FF") << "127.5 rounds up";
    EXPECT_EQ(accentHexString(QColor(0x7f, 0x6d, 0xf2, 10)), "#7F6DF2") << "opacity is dropped";
    EXPECT_EQ(accentHexString(QColor::fromRgbF(1.4f, -0.2f, 0.25f).toExtendedRgb()), "#FF0040");
}

TEST(ObsidianAccentColor, PickerShowsTheChoiceAndWritesTheValue)
{
    Option option("apps.obsidian.accentColor", "");
    ObsidianAccentColorPicker picker(&option);
    EXPECT_EQ(picker.titles(), QStringList({"Don’t change", "Use default color", "Custom"}));
    EXPECT_EQ(picker.comboBox()->currentText(), "Don’t change") << "the empty text sets nothing";
    EXPECT_FALSE(picker.isColorWellVisible());

    // Choosing "Custom" without a colour stores black and shows the well.
    picker.comboBox()->setCurrentIndex(2);
    emit picker.comboBox()->activated(2);
    EXPECT_EQ(option.value(), "#000000");
    EXPECT_TRUE(picker.isColorWellVisible());
    picker.setColor(QColor::fromRgbF(0.5f, 1, 0, 0.3f));
    EXPECT_EQ(option.value(), "#80FF00");

    // A colour read from a file in lower case stays as it is and shows as that colour; choosing
    // "Custom" again keeps it.
    option.setValue("#7f6df2");
    EXPECT_EQ(picker.comboBox()->currentText(), "Custom");
    EXPECT_EQ(picker.color(), QColor(0x7f, 0x6d, 0xf2));
    picker.setChoice(ObsidianAccentColor::custom);
    EXPECT_EQ(option.value(), "#7f6df2");

    picker.setChoice(ObsidianAccentColor::doNotChange);
    EXPECT_EQ(option.value(), "doNotChange");
    EXPECT_FALSE(picker.isColorWellVisible());
    option.setValue("not a colour");
    EXPECT_EQ(picker.choice(), ObsidianAccentColor::custom);
    EXPECT_EQ(picker.color(), QColor(Qt::black));
}
