#include "Tapestrel/tests/background/library/LibraryFixture.h"

#include "KivUtilities/PopupListWidth.h"
#include "Tapestrel/Registries.h"
#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/background/BackgroundPicker.h"
#include "Tapestrel/background/BackgroundSectionPicker.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/ColorBackgroundPicker.h"
#include "Tapestrel/background/GradientPicker.h"
#include "Tapestrel/background/ImageBackgroundPicker.h"
#include "Tapestrel/background/TileGridLayout.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/ui/MainWindow.h"
#include "Tapestrel/ui/ProfileEditor.h"
#include "platform/CloudKeyValueStore.h"
#include "testsupport/RunTask.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/Screenshots.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

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

    // How far a scroll area's content runs on below what its layout laid out, or below the viewport
    // where the content is shorter than that: 0 when the area ends where its content ends.
    static int runOn(QScrollArea *scroll)
    {
        QWidget *content = scroll->widget();
        const QLayout *layout = content->layout();
        int bottom = 0;
        for (int i = 0; i < layout->count(); ++i) {
            if (const QWidget *item = layout->itemAt(i)->widget(); item && item->isVisible())
                bottom = std::max(bottom, item->geometry().bottom() + 1);
        }
        bottom += layout->contentsMargins().bottom();
        return content->height() - std::max(bottom, scroll->viewport()->height());
    }

    // Every tab with its real rows, the Apps and Tools tabs included.
    AppConfigStore configs {Registries::makeAppConfigs()};
    OptionStore registry {[this] {
        return Registries::makeOptionModels(configs);
    }};
    Platform::CloudKeyValueStore cloud {home.filePath("cloud.plist")};
    SynchronizedOptionsStore options {cloud};
    Defaults defaults;
    SelectionModel selection;
};

TEST_F(BackgroundTabTest, EveryTileIsWithinReachAndEveryTabEndsWhereItsContentEnds)
{
    // A library with custom tiles in every grid, and a profile whose picture is a built-in one.
    for (const QColor &color : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue), QColor(Qt::gray)})
        addRecord(CustomBackground::Kind::Color, Background::color(color).rawValue());
    Option *option = backgroundOption();
    Profile *profile = option->profile();
    context->save();
    MainWindow window(&selection, context, &defaults, &options, &configs);
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

    // At the sizes people use, every tab's scroll area ends where its content ends: no empty
    // stretch below the last group.
    QTabWidget *tabs = window.editor()->tabs();
    for (const QSize size : {QSize(720, 690), QSize(1200, 760)}) {
        window.resize(size);
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            TestSupport::spinEventLoop(50ms);
            QList<QScrollArea *> areas = tabs->widget(tab)->findChildren<QScrollArea *>();
            if (auto *area = qobject_cast<QScrollArea *>(tabs->widget(tab)))
                areas.append(area);
            EXPECT_FALSE(areas.isEmpty()) << tabs->tabText(tab).toStdString();
            for (QScrollArea *area : std::as_const(areas)) {
                EXPECT_EQ(runOn(area), 0)
                    << tabs->tabText(tab).toStdString() << " at " << size.width() << "x" << size.height();
            }
        }
        tabs->setCurrentIndex(0);
        QScrollBar *bar = picker->scrollArea()->verticalScrollBar();
        bar->setValue(bar->maximum());
        TestSupport::spinEventLoop(50ms);
        TestSupport::saveScreenshot(
            &window, QStringLiteral("background-tab-end-%1x%2").arg(size.width()).arg(size.height()));
    }

    // An open list of the System tab, for a person to look at: at the default size, where the
    // window fits the test screen and the list opens at its box.
    KivUtilities::PopupListWidth::install(QCoreApplication::instance());
    window.resize(MainWindow::defaultSize);
    window.move(0, 0);
    tabs->setCurrentIndex(1);
    TestSupport::spinEventLoop(50ms);
    QComboBox *accent = nullptr;
    for (QComboBox *combo : tabs->widget(1)->findChildren<QComboBox *>()) {
        if (combo->accessibleName() == "Theme Color")
            accent = combo;
    }
    ASSERT_NE(accent, nullptr);
    accent->showPopup();
    TestSupport::spinEventLoop(50ms);
    TestSupport::saveScreenshot(TestSupport::grabWithPopup(&window, accent->view()->window()),
                                "system-tab-theme-color-list");
    accent->hidePopup();
}

// Exactly n tiles and the gaps between them hold n columns, a pixel less one fewer, and the grid is
// as high as its rows at that width.
TEST(TileGridLayoutTest, ExactlyNTilesAndTheirGapsHoldNColumns)
{
    QWidget grid;
    auto *layout = new TileGridLayout(5, 12, &grid);
    layout->setContentsMargins(3, 4, 5, 6);
    QList<QWidget *> cells;
    for (int i = 0; i < 7; ++i) {
        cells.append(new QWidget);
        cells.last()->setFixedSize(80, 45);
    }
    layout->setWidgets(cells);
    for (QWidget *cell : std::as_const(cells))
        cell->show();
    const auto firstRow = [&cells] {
        return int(std::count_if(cells.cbegin(), cells.cend(),
                                 [&cells](const QWidget *cell) { return cell->y() == cells[0]->y(); }));
    };
    for (int n = 1; n <= 6; ++n) {
        const int exact = 3 + 5 + n * 80 + (n - 1) * 12;
        for (const auto &[width, columns] :
             {std::pair(exact, std::min(n, 5)), std::pair(exact - 1, std::max(1, n - 1))}) {
            const int height = layout->heightForWidth(width);
            layout->setGeometry(QRect(0, 0, width, height));
            EXPECT_EQ(firstRow(), columns) << width;
            EXPECT_EQ(height, cells.last()->geometry().bottom() + 1 + 6) << width;
            EXPECT_LE(cells[columns - 1]->geometry().right(), width - 5 - 1) << width;
        }
    }
}

} // namespace

// Add Image and Add Photo open in the pictures folder, else in the home folder: never in the folder
// the program was started from.
TEST(BackgroundFileChooserTest, OpensInThePicturesFolderElseInTheHomeFolder)
{
    QTemporaryDir home;
    QTemporaryDir elsewhere;
    const TestSupport::ScopedVariable homeVariable("HOME", QFile::encodeName(home.path()));
    const TestSupport::ScopedVariable config("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    const QString working = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    const BackgroundLibraryServices services = BackgroundLibraryServices::defaults();
    const QString pictures = QDir(home.path()).absoluteFilePath("Pictures");
    struct Case
    {
        const char *name;
        std::function<QStringList(QWidget *)> choose;
        bool picturesFolder;
        QString opens;
    };
    for (const Case &test : {Case {"Add Image", services.chooseImageFiles, true, pictures},
                             Case {"Add Photo", services.choosePhotos, true, pictures},
                             Case {"Add Image without a pictures folder", services.chooseImageFiles, false,
                                   QDir(home.path()).absolutePath()}}) {
        SCOPED_TRACE(test.name);
        ASSERT_TRUE(test.picturesFolder ? QDir().mkpath(pictures) : QDir(pictures).removeRecursively());
        QString opened;
        QTimer cancel;
        QObject::connect(&cancel, &QTimer::timeout, [&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                opened = dialog->directory().absolutePath();
                dialog->reject();
            }
        });
        cancel.start(10);
        EXPECT_TRUE(test.choose(nullptr).isEmpty());
        EXPECT_EQ(opened, test.opens);
    }
    QDir::setCurrent(working);
}
