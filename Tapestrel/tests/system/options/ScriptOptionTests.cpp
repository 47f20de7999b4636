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

// Each setting made by a script: the exact script each value sends (also when the value is in place
// already: that is what redraws), the value and script a read gives back, nothing sent for the empty
// text, and the other texts refused without a script.
TEST_F(ScriptOptionTest, EachValueSendsItsScriptAndReadsBackAndOtherTextsAreRefused)
{
    AppearanceOptionModel appearance;
    DockPositionOptionModel position;
    DockSizeOptionModel size;
    AutoHideDockOptionModel autoHide;
    DockMagnificationOptionModel magnification;
    AutoHideMenuBarOptionModel menuBar;
    struct Sent
    {
        QString value, script, read;
    };
    const auto toggle = [](const QString &property) {
        return QList<Sent> {{"YES", dock("set " + property + " to yes"), "true"},
                            {"1", dock("set " + property + " to yes"), "true"},
                            {"No", dock("set " + property + " to no"), "false"},
                            {"true", dock("set " + property + " to yes"), "true"}};
    };
    const struct
    {
        OptionModel *model;
        QList<Sent> sent;
        QString readScript;
        QStringList refused;
        QString unset; // what a read gives before any value was sent, where it is known
    } rows[] = {
        {&appearance,
         {{"dark", setDark, "dark"}, {"dark", setDark, "dark"}, {"light", setLight, "light"}},
         getDark,
         {"Dark", "DARK", "auto"},
         {}},
        {&position,
         {{"left", dock("set screen edge to left"), "left"},
          {"right", dock("set screen edge to right"), "right"},
          {"bottom", dock("set screen edge to bottom"), "bottom"}},
         dock("get screen edge"),
         {"top", "Left"},
         {}},
        // Only whole numbers, in their shortest form.
        {&size,
         {{"0.5", dock("set dock size to 0.5"), "0.5"},
          {"1", dock("set dock size to 1.0"), "1.0"},
          {"0.35", dock("set dock size to 0.35"), "0.35"}},
         dock("get dock size"),
         {" 0.5", "0.5 ", "abc", "nan", "inf", "0,5"},
         {}},
        {&autoHide, toggle("autohide"), dock("get autohide"), {"maybe", " true", "2"}, "false"},
        {&magnification,
         toggle("magnification"),
         dock("get magnification"),
         {"maybe", " true", "2"},
         "false"},
        {&menuBar,
         toggle("autohide menu bar"),
         dock("get autohide menu bar"),
         {"maybe", " true", "2"},
         "false"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.model->key().toStdString());
        if (!row.unset.isEmpty()) {
            EXPECT_EQ(read(*row.model), row.unset);
        }
        takeScripts();
        for (const Sent &sent : row.sent) {
            SCOPED_TRACE(sent.value.toStdString());
            EXPECT_FALSE(apply(*row.model, sent.value));
            EXPECT_EQ(takeScripts(), QStringList {sent.script});
            EXPECT_EQ(read(*row.model), sent.read);
            EXPECT_EQ(takeScripts(), QStringList {row.readScript});
        }
        apply(*row.model, "");
        for (const QString &value : row.refused)
            EXPECT_TRUE(refuses(*row.model, value)) << value.toStdString();
        EXPECT_TRUE(takeScripts().isEmpty());
        EXPECT_EQ(read(*row.model), row.sent.last().read);
    }
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

} // namespace
