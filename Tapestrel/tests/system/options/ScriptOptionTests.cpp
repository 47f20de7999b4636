#include "SystemOptionTest.h"

#include "Tapestrel/system/AppearanceOptionModel.h"
#include "Tapestrel/system/AutoHideDockOptionModel.h"
#include "Tapestrel/system/AutoHideMenuBarOptionModel.h"
#include "Tapestrel/system/DockMagnificationOptionModel.h"
#include "Tapestrel/system/DockPositionOptionModel.h"
#include "Tapestrel/system/DockSizeOptionModel.h"

#include <gtest/gtest.h>

namespace {

using ScriptOptionTest = SystemOptionTest;

TEST_F(ScriptOptionTest, AppearanceSendsDarkOnlyForTheExactWordAndReadsBack)
{
    AppearanceOptionModel model;
    EXPECT_FALSE(apply(model, "dark"));
    EXPECT_EQ(takeScripts(), QStringList {setDark});
    EXPECT_EQ(read(model), "dark");
    EXPECT_EQ(takeScripts(), QStringList {getDark});

    // Applying the mode that is already on still sends the script: that is what redraws.
    apply(model, "dark");
    EXPECT_EQ(takeScripts(), QStringList {setDark});

    apply(model, "light");
    EXPECT_EQ(takeScripts(), QStringList {setLight});
    // Other texts are no appearance: the empty one sets nothing, the others are refused.
    apply(model, "");
    for (const char *value : {"Dark", "DARK", "auto"})
        EXPECT_TRUE(refuses(model, value)) << value;
    EXPECT_TRUE(takeScripts().isEmpty());
    EXPECT_EQ(read(model), "light");
}

TEST_F(ScriptOptionTest, RefusedAutomationNeverThrowsAndReadsTheFallbacks)
{
    AppearanceOptionModel appearance;
    apply(appearance, "dark");
    DockPositionOptionModel position;
    apply(position, "left");
    refuseAutomation();

    AutoHideDockOptionModel autoHide;
    DockMagnificationOptionModel magnification;
    AutoHideMenuBarOptionModel menuBar;
    DockSizeOptionModel size;
    EXPECT_NO_THROW(apply(appearance, "light"));
    EXPECT_EQ(read(appearance), "light");
    EXPECT_EQ(read(position), std::nullopt);
    EXPECT_EQ(read(size), std::nullopt);
    EXPECT_EQ(read(autoHide), "false");
    EXPECT_EQ(read(menuBar), "false");
    EXPECT_EQ(read(magnification), "");
    const std::pair<OptionModel *, QString> values[] = {{&position, "right"},
                                                        {&size, "0.5"},
                                                        {&autoHide, "true"},
                                                        {&magnification, "true"},
                                                        {&menuBar, "true"}};
    for (const auto &[model, value] : values)
        EXPECT_NO_THROW(apply(*model, value)) << value.toStdString();

    // Nothing changed underneath.
    qunsetenv("TAPESTREL_REFUSE_AUTOMATION");
    EXPECT_EQ(read(appearance), "dark");
    EXPECT_EQ(read(position), "left");
}

TEST_F(ScriptOptionTest, DockPositionFallsBackToTheBottomAndReadsTheEdgeCodes)
{
    DockPositionOptionModel model;
    for (const char *edge : {"left", "right", "bottom"}) {
        EXPECT_FALSE(apply(model, edge));
        EXPECT_EQ(takeScripts(), QStringList {dock(QStringLiteral("set screen edge to ") + edge)});
        EXPECT_EQ(read(model), edge);
        EXPECT_EQ(takeScripts(), QStringList {dock("get screen edge")});
    }
    apply(model, "left");
    takeScripts();
    apply(model, "");
    for (const char *value : {"top", "Left"})
        EXPECT_TRUE(refuses(model, value)) << value;
    EXPECT_TRUE(takeScripts().isEmpty());
    EXPECT_EQ(read(model), "left");
}

TEST_F(ScriptOptionTest, DockSizeSendsOnlyWholeNumbersInTheirShortestForm)
{
    DockSizeOptionModel model;
    apply(model, "0.5");
    EXPECT_EQ(takeScripts(), QStringList {dock("set dock size to 0.5")});
    EXPECT_EQ(read(model), "0.5");
    EXPECT_EQ(takeScripts(), QStringList {dock("get dock size")});
    apply(model, "1");
    EXPECT_EQ(takeScripts(), QStringList {dock("set dock size to 1.0")});
    EXPECT_EQ(read(model), "1.0");
    apply(model, "0.35");
    EXPECT_EQ(read(model), "0.35");
    takeScripts();

    // Not numbers as a whole, or numbers a script cannot carry: refused, and nothing is sent.
    apply(model, "");
    for (const char *value : {" 0.5", "0.5 ", "abc", "nan", "inf", "0,5"})
        EXPECT_TRUE(refuses(model, value)) << value;
    EXPECT_TRUE(takeScripts().isEmpty());
    EXPECT_EQ(read(model), "0.35");
}

TEST_F(ScriptOptionTest, DockTogglesSendYesOrNoAndSkipOtherWords)
{
    AutoHideDockOptionModel autoHide;
    DockMagnificationOptionModel magnification;
    AutoHideMenuBarOptionModel menuBar;
    const std::pair<OptionModel *, QString> models[] = {
        {&autoHide, "autohide"}, {&magnification, "magnification"}, {&menuBar, "autohide menu bar"}};
    for (const auto &[model, property] : models) {
        EXPECT_EQ(read(*model), "false");
        takeScripts();
        for (const char *yes : {"YES", "1", "true"}) {
            EXPECT_FALSE(apply(*model, yes));
            EXPECT_EQ(takeScripts(), QStringList {dock("set " + property + " to yes")}) << yes;
        }
        EXPECT_EQ(read(*model), "true");
        EXPECT_EQ(takeScripts(), QStringList {dock("get " + property)});
        apply(*model, "No");
        EXPECT_EQ(takeScripts(), QStringList {dock("set " + property + " to no")});
        EXPECT_EQ(read(*model), "false");
        takeScripts();
        apply(*model, "");
        for (const char *other : {"maybe", " true", "2"})
            EXPECT_TRUE(refuses(*model, other)) << other;
        EXPECT_TRUE(takeScripts().isEmpty());
    }
}

} // namespace
