#include "Tapestrel/ui/switcher/MenuBarExtra.h"

#include "KivApp/WindowRoom.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/switcher/MenuView.h"
#include "Tapestrel/ui/switcher/NewProfileView.h"
#include "Tapestrel/ui/switcher/SystemTray.h"
#include "platform/UserDefaults.h"
#include "testsupport/FakeTrayHost.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

class MenuBarExtraTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        m_container = std::make_unique<ModelContainer>(home.filePath(QStringLiteral("data.sqlite")));
    }
    std::function<MenuView *()> panelMaker()
    {
        return [this] {
            ++m_panelsMade;
            return new MenuView(m_container->mainContext(), &m_selection, MenuView::Actions {});
        };
    }

    std::unique_ptr<ModelContainer> m_container;
    SelectionModel m_selection;
    int m_panelsMade = 0;
};

// The icon follows the setting at once, once there is a tray: an icon made before the tray host
// starts would never reach it. A tray host that restarts finds the same icon; meanwhile it is not on show.
TEST_F(MenuBarExtraTest, TheIconFollowsTheSettingAndComesWithATray)
{
    TestSupport::PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    SystemTray tray(bus.connection());
    Defaults defaults;
    MenuBarExtra extra(&defaults, panelMaker(), &tray);
    EXPECT_EQ(extra.trayIcon(), nullptr); // on by default, but no tray yet
    EXPECT_FALSE(extra.isIconShown());

    QSystemTrayIcon *icon = nullptr;
    for (int host = 0; host < 2; ++host) {
        auto trayHost = std::make_unique<TestSupport::FakeTrayHost>();
        ASSERT_TRUE(trayHost->start(bus.address()));
        ASSERT_TRUE(TestSupport::waitUntil([&] { return extra.isIconShown(); }, 10s)) << host;
        EXPECT_TRUE(extra.trayIcon()->isVisible());
        EXPECT_TRUE(icon == nullptr || extra.trayIcon() == icon);
        icon = extra.trayIcon();
        trayHost.reset();
        ASSERT_TRUE(TestSupport::waitUntil([&] { return !extra.isIconShown(); }, 10s)) << host;
        EXPECT_EQ(extra.trayIcon(), icon);
    }

    auto trayHost = std::make_unique<TestSupport::FakeTrayHost>();
    ASSERT_TRUE(trayHost->start(bus.address()));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return extra.isIconShown(); }, 10s));
    defaults.setShowMenuBarIcon(false);
    EXPECT_EQ(extra.trayIcon(), nullptr);
    EXPECT_FALSE(extra.isIconShown());
    // A change made elsewhere (another settings object, the defaults tool) counts the same.
    Defaults other;
    other.setShowMenuBarIcon(true);
    ASSERT_NE(extra.trayIcon(), nullptr);
    EXPECT_TRUE(extra.trayIcon()->isVisible());
    EXPECT_EQ(m_panelsMade, 0);
}

TEST_F(MenuBarExtraTest, ThePanelOpensOnTheScreenNextToItsAnchorOrAsAWindow)
{
    Defaults defaults;
    MenuBarExtra extra(&defaults, panelMaker());
    // The room a window may take on the screen: short of a panel's height where no work area is told.
    const QRect screen = KivApp::WindowRoom::of(QGuiApplication::primaryScreen());

    extra.showPanel(screen.topLeft() + QPoint(10, 5));
    ASSERT_NE(extra.panel(), nullptr);
    EXPECT_TRUE(extra.panel()->findChild<MenuView *>());
    EXPECT_EQ(extra.panel()->geometry(),
              QRect(screen.topLeft() + QPoint(10, 5), QSize(MenuView::panelWidth, MenuView::panelHeight)));

    // (Near the bottom right corner it opens above and left of the point: the small screens below.)
    extra.panel()->close();

    // As a window: titled, beside the window it was opened from (left of it when the right has no room).
    QWidget main;
    main.setGeometry(QRect(screen.topLeft() + QPoint(20, 20), QSize(260, 300)));
    main.show();
    extra.showPanelAsWindow(&main);
    ASSERT_NE(extra.panel(), nullptr);
    EXPECT_FALSE(extra.panel()->windowFlags().testFlag(Qt::Popup));
    EXPECT_EQ(extra.panel()->windowTitle(), "Profile Switcher");
    EXPECT_GT(extra.panel()->geometry().left(), main.frameGeometry().right());
    EXPECT_EQ(
        extra.panel()->geometry().top(),
        qMax(screen.top(), qMin(main.frameGeometry().top(), screen.bottom() - extra.panel()->height())));
    QWidget *window = extra.panel();
    extra.showPanelAsWindow(&main); // raised, not made again
    EXPECT_EQ(extra.panel(), window);
    EXPECT_EQ(m_panelsMade, 2);
    window->close();
    main.move(screen.right() - main.frameGeometry().width() - 20, main.y());
    extra.showPanelAsWindow(&main);
    ASSERT_NE(extra.panel(), nullptr);
    EXPECT_LT(extra.panel()->geometry().right(), main.frameGeometry().left());
    EXPECT_GE(extra.panel()->geometry().left(), screen.left());
}

// On a screen too low for the whole panel (1024 by 600 here), opened from a tray in a panel at the top
// or at the bottom, the panel lies within the room the screen leaves, its bars whole and its tiles
// scrolling between them.
TEST_F(MenuBarExtraTest, ThePanelFitsASmallScreenFromATopOrABottomPanel)
{
    for (int index = 0; index < 12; ++index)
        m_container->mainContext()->insert(
            std::make_unique<Profile>(QStringLiteral("Profile %1").arg(index)));
    m_container->mainContext()->save();
    Defaults defaults;
    MenuBarExtra extra(&defaults, panelMaker());
    const QRect screen(0, 0, 1024, 600);
    const struct
    {
        const char *name;
        QRect available;
        QPoint icon; // where the tray icon's bottom left corner is
    } rows[] = {
        {"top-panel", {0, 28, 1024, 572}, {990, 27}},
        {"bottom-panel", {0, 0, 1024, 572}, {990, 599}},
        {"unknown-panel", screen, {990, 599}},
    };
    for (const auto &[name, available, icon] : rows) {
        SCOPED_TRACE(name);
        extra.showPanel(icon, KivApp::WindowRoom::of(screen, available));
        QWidget *panel = extra.panel();
        ASSERT_NE(panel, nullptr);
        EXPECT_TRUE(available.contains(panel->geometry()) && screen.contains(panel->geometry()))
            << panel->geometry().top() << " " << panel->geometry().bottom();
        EXPECT_EQ(panel->width(), MenuView::panelWidth);
        TestSupport::spinEventLoop(std::chrono::milliseconds(0));
        auto *view = panel->findChild<MenuView *>();
        ASSERT_NE(view, nullptr);
        for (QWidget *control : {static_cast<QWidget *>(view->editProfilesButton()),
                                 static_cast<QWidget *>(view->moreButton())}) {
            EXPECT_TRUE(control->isVisible());
            EXPECT_EQ(control->visibleRegion(), QRegion(control->rect()))
                << control->objectName().toStdString();
        }
        EXPECT_TRUE(view->findChild<QScrollArea *>()->verticalScrollBar()->isVisible());
        TestSupport::saveScreenshot(panel, QStringLiteral("switcher/small-screen-%1").arg(name));
        panel->close();
    }
}

TEST_F(MenuBarExtraTest, EscapeClosesTheSwitcherWindowUnlessTheNewProfileFormTakesIt)
{
    Defaults defaults;
    MenuBarExtra extra(&defaults, panelMaker());
    extra.showPanelAsWindow(nullptr);
    ASSERT_NE(extra.panel(), nullptr);
    MenuView *view = extra.panel()->findChild<MenuView *>();
    ASSERT_NE(view, nullptr);

    // In the form's field Escape folds the form away and the window stays.
    view->plusButton()->click();
    ASSERT_TRUE(view->isNewProfileViewVisible());
    QTest::keyClick(view->newProfileView()->nameField(), Qt::Key_Escape);
    EXPECT_FALSE(view->isNewProfileViewVisible());
    ASSERT_NE(extra.panel(), nullptr);
    EXPECT_TRUE(extra.panel()->isVisible());

    // Anywhere else in the window it closes the window, as it closes the pop-up.
    QPointer<QWidget> window = extra.panel();
    QTest::keyClick(view->editProfilesButton(), Qt::Key_Escape);
    EXPECT_TRUE(window.isNull() || !window->isVisible());

    extra.showPanel(QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    window = extra.panel();
    ASSERT_NE(window, nullptr);
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(window.isNull() || !window->isVisible());
}

} // namespace
