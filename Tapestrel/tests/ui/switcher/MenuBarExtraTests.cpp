#include "Tapestrel/ui/switcher/MenuBarExtra.h"

#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/switcher/MenuView.h"
#include "Tapestrel/ui/switcher/NewProfileView.h"
#include "Tapestrel/ui/switcher/SystemTray.h"
#include "platform/UserDefaults.h"
#include "testsupport/FakeTrayHost.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
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
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();

    extra.showPanel(screen.topLeft() + QPoint(10, 5));
    ASSERT_NE(extra.panel(), nullptr);
    EXPECT_TRUE(extra.panel()->findChild<MenuView *>());
    EXPECT_EQ(extra.panel()->geometry().topLeft(), screen.topLeft() + QPoint(10, 5));
    EXPECT_GE(extra.panel()->height(), MenuView::minimumPanelHeight);

    // Near the bottom right corner the panel opens above and left of the point, fully visible.
    extra.panel()->close();
    extra.showPanel(screen.bottomRight() - QPoint(2, 2));
    ASSERT_NE(extra.panel(), nullptr);
    EXPECT_TRUE(screen.contains(extra.panel()->geometry())) << extra.panel()->geometry().x();

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
    EXPECT_EQ(m_panelsMade, 3);
    window->close();
    main.move(screen.right() - main.frameGeometry().width() - 20, main.y());
    extra.showPanelAsWindow(&main);
    ASSERT_NE(extra.panel(), nullptr);
    EXPECT_LT(extra.panel()->geometry().right(), main.frameGeometry().left());
    EXPECT_GE(extra.panel()->geometry().left(), screen.left());
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
