#include "UiFixture.h"

#include "KivUtilities/PopupListWidth.h"
#include "Tapestrel/apps/frame/ThemePicker.h"
#include "Tapestrel/system/AccentColorPicker.h"
#include "Tapestrel/system/DockPositionPicker.h"
#include "Tapestrel/system/IconAndWidgetStylePicker.h"
#include "testsupport/RunTask.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QScreen>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class PopupListTest : public UiTests::UiTest
{
protected:
    PopupListTest() { KivUtilities::PopupListWidth::install(QCoreApplication::instance()); }

    // Whether an open list shows its items whole: given far more room, what it shows does not
    // change (a shortened item would grow back its letters).
    static bool showsItemsWhole(QComboBox *combo)
    {
        QWidget *list = combo->view()->window();
        const QRect geometry = list->geometry();
        const QImage shown = list->grab().toImage();
        list->resize(geometry.width() + 300, geometry.height());
        TestSupport::spinEventLoop(20ms);
        const QImage roomy = list->grab().toImage();
        list->setGeometry(geometry);
        TestSupport::spinEventLoop(20ms);
        // Up to the right edge, where the frame is drawn.
        const QRect compared(0, 0, shown.width() - 8, shown.height());
        return shown.copy(compared) == roomy.copy(compared);
    }

    // The widest item as drawn: its text in its own font, and its icon.
    static int longestItem(QComboBox *combo)
    {
        int longest = 0;
        for (int row = 0; row < combo->count(); ++row) {
            const QVariant font = combo->itemData(row, Qt::FontRole);
            const QFontMetrics metrics(font.canConvert<QFont>() ? font.value<QFont>()
                                                                : combo->view()->font());
            const int icon = combo->itemIcon(row).isNull() ? 0 : combo->iconSize().width();
            longest = std::max(longest, metrics.horizontalAdvance(combo->itemText(row)) + icon);
        }
        return longest;
    }
};

TEST_F(PopupListTest, AnOpenListIsAsWideAsItsLongestItemWithinTheScreen)
{
    Profile *profile = newProfile("Work");
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *accent = new AccentColorPicker(profile->findOrCreateOption("system.ui.accentColor"));
    auto *style =
        new IconAndWidgetStylePicker(profile->findOrCreateOption("system.desktop.iconAndWidgetStyle"));
    auto *dock = new DockPositionPicker(profile->findOrCreateOption("system.dock.position"));
    const QList<ThemePicker::Section> sections = {
        {ThemePicker::builtInHeader(), {{"Dark", "dark"}, {"Light", "light"}}},
        {ThemePicker::customHeader(), {{"Mine", "mine"}}},
    };
    auto *themes = new ThemePicker(
        profile->findOrCreateOption("apps.alfred.theme"), "Theme", "", [sections] { return sections; },
        nullptr);
    for (QWidget *picker : std::initializer_list<QWidget *> {accent, style, dock, themes})
        layout->addWidget(picker);
    window.show();
    const QRect screen = window.screen()->availableGeometry();

    for (QComboBox *combo : {accent->comboBox(), style->comboBox(), dock->comboBox(), themes->comboBox()}) {
        ASSERT_NE(combo, nullptr);
        combo->showPopup();
        TestSupport::spinEventLoop(20ms);
        QWidget *list = combo->view()->window();
        ASSERT_TRUE(list->isVisible());
        EXPECT_TRUE(showsItemsWhole(combo)) << combo->itemText(0).toStdString();
        EXPECT_TRUE(screen.contains(list->geometry()));
        // Whole, and no wider than the items with a menu's margins (or the box it drops from).
        EXPECT_LE(list->width(), std::max(combo->width(), longestItem(combo) + 80))
            << combo->itemText(0).toStdString() << " " << longestItem(combo);
        combo->hidePopup();
    }

    // A list that could not fit the screen is as wide as the screen, and stays on it.
    auto *wide = new QComboBox;
    wide->addItem(QString(400, u'W'));
    wide->addItem("Short");
    wide->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    wide->setMinimumContentsLength(8);
    layout->addWidget(wide);
    TestSupport::spinEventLoop(20ms);
    wide->showPopup();
    TestSupport::spinEventLoop(20ms);
    EXPECT_EQ(wide->view()->window()->width(), screen.width());
    EXPECT_TRUE(screen.contains(wide->view()->window()->geometry()));
    wide->hidePopup();
}

} // namespace
