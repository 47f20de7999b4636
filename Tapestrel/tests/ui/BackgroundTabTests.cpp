#include "Tapestrel/tests/background/library/LibraryFixture.h"

#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/background/BackgroundPicker.h"
#include "Tapestrel/background/BackgroundSectionPicker.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/ColorBackgroundPicker.h"
#include "Tapestrel/background/GradientPicker.h"
#include "Tapestrel/background/ImageBackgroundPicker.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/MainWindow.h"
#include "Tapestrel/ui/ProfileEditor.h"
#include "platform/CloudKeyValueStore.h"
#include "testsupport/RunTask.h"

#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

using KivDesktopBackground::Background;
using namespace std::chrono_literals;

namespace {

// The main window over a store with the program's background option, as a person first sees it.
class BackgroundTabTest : public LibraryTests::LibraryTest
{
protected:
    BackgroundTabTest() { OptionStore::setShared(&registry); }
    ~BackgroundTabTest() override { OptionStore::setShared(nullptr); }

    // Where each tile of the three grids lies in the scroll area's visible width; a tile outside it
    // cannot be reached, as the area does not scroll sideways.
    struct Reach
    {
        int tiles = 0;
        QStringList outside;
    };
    static Reach reach(BackgroundPicker *picker)
    {
        Reach result;
        QWidget *viewport = picker->scrollArea()->viewport();
        const QList<BackgroundSectionPicker *> sections = {picker->imagePicker(), picker->colorPicker(),
                                                           picker->gradientPicker()};
        for (BackgroundSectionPicker *section : sections) {
            QList<QWidget *> cells;
            for (BackgroundTile *tile : section->tiles())
                cells.append(tile);
            cells.append(section->addTile());
            for (int i = 0; i < cells.size(); ++i) {
                ++result.tiles;
                const QRect area(cells[i]->mapTo(viewport, QPoint()), cells[i]->size());
                if (!cells[i]->isVisible() || area.left() < 0 || area.right() >= viewport->width())
                    result.outside.append(QStringLiteral("%1 #%2").arg(section->objectName()).arg(i));
            }
        }
        return result;
    }

    OptionStore registry {[] {
        std::vector<std::unique_ptr<OptionModel>> models;
        models.push_back(std::make_unique<BackgroundOptionModel>());
        return models;
    }};
    Platform::CloudKeyValueStore cloud {home.filePath("cloud.plist")};
    SynchronizedOptionsStore options {cloud};
    Defaults defaults;
    SelectionModel selection;
};

TEST_F(BackgroundTabTest, EveryTileIsWithinReachAtTheDefaultAndTheMinimumWindowSize)
{
    // A library with custom tiles in every grid, and a profile whose picture is a built-in one.
    for (const QColor &color : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue), QColor(Qt::gray)})
        addRecord(CustomBackground::Kind::Color, Background::color(color).rawValue());
    Option *option = backgroundOption();
    Profile *profile = option->profile();
    context->save();
    MainWindow window(&selection, context, &defaults, &options);
    window.show();
    selection.setSelectedProfiles({profile});
    ASSERT_NE(window.editor(), nullptr);
    auto *picker = window.editor()->findChild<BackgroundPicker *>();
    ASSERT_NE(picker, nullptr);
    const QList<BackgroundTile *> pictures = picker->imagePicker()->tiles();
    ASSERT_GE(pictures.size(), 5);
    option->setValue(pictures[4]->background().rawValue());
    addRecord(CustomBackground::Kind::Gradient,
              Background::linearGradient(
                  KivDesktopBackground::SerializableLinearGradient(45, {{Qt::red, 0.0}, {Qt::blue, 1.0}}))
                  .rawValue());
    TestSupport::spinEventLoop(50ms);

    EXPECT_EQ(window.size(), MainWindow::defaultSize);
    Reach atDefault = reach(picker);
    EXPECT_EQ(atDefault.tiles, 8 + 1 + 10 + 4 + 1 + 5 + 1 + 1);
    EXPECT_TRUE(atDefault.outside.isEmpty()) << atDefault.outside.join(", ").toStdString();
    EXPECT_TRUE(pictures[4]->isSelected());
    EXPECT_EQ(picker->scrollArea()->horizontalScrollBar()->maximum(), 0);
    // The picker takes the tab's whole width: as much room on its left as on its right.
    QWidget *page = picker->parentWidget()->parentWidget();
    const int left = picker->mapTo(page, QPoint()).x();
    const int right = page->width() - left - picker->width();
    EXPECT_LE(std::abs(left - right), 1) << left << " " << right;
    TestSupport::saveScreenshot(&window, "background-tab-720x690");

    // The smallest the window can be.
    window.resize(1, 1);
    TestSupport::spinEventLoop(50ms);
    EXPECT_EQ(window.size(), window.minimumSize());
    const Reach atMinimum = reach(picker);
    EXPECT_TRUE(atMinimum.outside.isEmpty()) << atMinimum.outside.join(", ").toStdString();
    EXPECT_EQ(picker->scrollArea()->horizontalScrollBar()->maximum(), 0);
    TestSupport::saveScreenshot(&window, "background-tab-minimum");

    // And wider than the default, five columns.
    window.resize(1100, 690);
    TestSupport::spinEventLoop(50ms);
    EXPECT_EQ(picker->colorPicker()->tiles()[4]->y(), picker->colorPicker()->tiles()[0]->y());
    EXPECT_GT(picker->colorPicker()->tiles()[5]->y(), picker->colorPicker()->tiles()[0]->y());
    EXPECT_TRUE(reach(picker).outside.isEmpty());
}

} // namespace
