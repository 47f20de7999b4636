#include "KivDesktopBackground/BackgroundWindow.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivDesktopBackground/X11Desktop.h"
#include "KivDesktopBackground/X11DesktopWatcher.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <functional>

using namespace KivDesktopBackground;
using namespace std::chrono_literals;
using TestSupport::spinEventLoop;
using Stop = SerializableLinearGradient::Stop;

namespace {

QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// Polls the screen until `check` holds or the time is up; gives the milliseconds it took, or -1.
// The limit is generous: a busy X server may take a while, and how long a fade takes is checked
// against the view's own clock elsewhere.
qint64 waitForScreen(const std::function<bool(const QImage &)> &check, std::chrono::milliseconds limit = 5s)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() <= limit.count()) {
        if (check(grabScreen()))
            return clock.elapsed();
        spinEventLoop(10ms);
    }
    return -1;
}

bool near(QRgb a, QRgb b, int tolerance = 3)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

class X11BackgroundWindows : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        if (!X11Desktop::isAvailable())
            GTEST_SKIP() << "needs the xcb platform";
    }
};

} // namespace

TEST_F(X11BackgroundWindows, ColourGradientImageAndClearReachTheScreen)
{
    DesktopBackgroundController controller;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint centre = screen.center();
    ASSERT_EQ(controller.windowsByScreenKey().size(), size_t(QGuiApplication::screens().size()));

    const QRgb before = grabScreen().pixel(centre);
    const QRgb colour = before == qRgb(200, 40, 90) ? qRgb(40, 200, 90) : qRgb(200, 40, 90);
    controller.setBackground(Background::color(QColor(colour)));
    const qint64 took = waitForScreen([&](const QImage &i) { return near(i.pixel(centre), colour); });
    EXPECT_GE(took, 0) << "the colour did not reach the screen";

    // The window is a desktop window on every virtual desktop, below the others.
    BackgroundWindow *window = controller.windowsByScreenKey().begin()->second.get();
    const auto id = static_cast<std::uint32_t>(window->winId());
    EXPECT_EQ(X11Desktop::property32(id, "_NET_WM_WINDOW_TYPE").value(0),
              X11Desktop::atom("_NET_WM_WINDOW_TYPE_DESKTOP"));
    EXPECT_EQ(X11Desktop::property32(id, "_NET_WM_DESKTOP"), QList<std::uint32_t> {0xFFFFFFFF});
    EXPECT_TRUE(
        X11Desktop::property32(id, "_NET_WM_STATE").contains(X11Desktop::atom("_NET_WM_STATE_BELOW")));

    // A left-to-right gradient from black to white.
    controller.setBackground(Background::linearGradient(
        SerializableLinearGradient(0, {Stop {Qt::black, {}}, Stop {Qt::white, {}}})));
    EXPECT_GE(waitForScreen([&](const QImage &i) {
                  return qGray(i.pixel(screen.left() + 2, centre.y())) < 10
                      && qGray(i.pixel(screen.right() - 2, centre.y())) > 245
                      && std::abs(qGray(i.pixel(centre)) - 128) < 8;
              }),
              0);

    // An image twice as wide as the screen's shape: its sides are cut off, its middle fills.
    QImage picture(400, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(100, 0, 200, 100, Qt::yellow);
    const QString path = home.filePath("wide.png");
    ASSERT_TRUE(picture.save(path));
    EXPECT_EQ(
        TestSupport::runTask(controller.setBackground(Background::image(QUrl::fromLocalFile(path)))).refusal,
        std::nullopt);
    EXPECT_GE(waitForScreen([&](const QImage &i) {
                  const QRgb y = qRgb(255, 255, 0);
                  return near(i.pixel(centre), y) && near(i.pixel(screen.left() + 2, centre.y()), y)
                      && near(i.pixel(screen.right() - 2, centre.y()), y);
              }),
              0);

    // Clearing it gives the screen back to the desktop.
    controller.setBackground(std::nullopt);
    EXPECT_GE(waitForScreen([&](const QImage &i) { return i.pixel(centre) == before; }), 0);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(X11BackgroundWindows, SwitchingVirtualDesktopIsNoticed)
{
    X11DesktopWatcher watcher;
    QSignalSpy switched(&watcher, &X11DesktopWatcher::currentDesktopChanged);
    // What a window manager does when the user switches workspaces.
    const std::uint32_t desktop = 1;
    xcb_change_property(X11Desktop::connection(), XCB_PROP_MODE_REPLACE, X11Desktop::rootWindow(),
                        X11Desktop::atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1, &desktop);
    xcb_flush(X11Desktop::connection());
    EXPECT_TRUE(switched.wait(2000));
    // Other root properties are not a workspace switch.
    switched.clear();
    xcb_change_property(X11Desktop::connection(), XCB_PROP_MODE_REPLACE, X11Desktop::rootWindow(),
                        X11Desktop::atom("_TAPESTREL_TEST"), XCB_ATOM_CARDINAL, 32, 1, &desktop);
    xcb_flush(X11Desktop::connection());
    spinEventLoop(200ms);
    EXPECT_EQ(switched.count(), 0);
}

// Another program's desktop window, on a connection of its own: the program's windows never cover
// it while it shows, whether it came first or while they drew, and they come back when it goes.
TEST_F(X11BackgroundWindows, AnotherProgramsDesktopWindowIsNotDrawnOver)
{
    xcb_connection_t *peer = xcb_connect(nullptr, nullptr);
    // Its windows go with it, also when the test stops early.
    const auto leave = qScopeGuard([peer] { xcb_disconnect(peer); });
    ASSERT_FALSE(xcb_connection_has_error(peer));
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(peer)).data;
    const QRgb peerColour = qRgb(20, 140, 60);
    // Its desktop window, or a window manager's frame for one.
    const auto makePeerDesktop = [&](xcb_window_t parent, bool desktop = true) {
        const xcb_window_t window = xcb_generate_id(peer);
        const std::uint32_t background = peerColour & 0xFFFFFF;
        xcb_create_window(peer, XCB_COPY_FROM_PARENT, window, parent, 0, 0, screen->width_in_pixels,
                          screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL, &background);
        if (!desktop)
            return window;
        const std::uint32_t desktopType = X11Desktop::atom("_NET_WM_WINDOW_TYPE_DESKTOP");
        xcb_change_property(peer, XCB_PROP_MODE_REPLACE, window, X11Desktop::atom("_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &desktopType);
        // Its name is another program's text: its control characters are shown, never sent to a terminal.
        xcb_change_property(peer, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 19,
                            "peerdesk\0Peer\x1b"
                            "desk\0");
        xcb_flush(peer);
        return window;
    };
    const auto show = [peer](xcb_window_t window) {
        xcb_map_window(peer, window);
        xcb_flush(peer);
    };
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    const QRgb ours = qRgb(200, 40, 90);

    // Made but not shown: nothing to keep clear.
    const xcb_window_t peerDesktop = makePeerDesktop(screen->root);
    auto controller = std::make_unique<DesktopBackgroundController>();
    controller->setBackground(Background::color(QColor(ours)));
    EXPECT_GE(waitForScreen([&](const QImage &i) { return near(i.pixel(centre), ours); }), 0);

    TestSupport::CapturedStandardError standardError;
    show(peerDesktop);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return controller->windowsByScreenKey().empty(); }, 5s));
    EXPECT_FALSE(controller->hasVisibleBackground());

    xcb_destroy_window(peer, peerDesktop);
    xcb_flush(peer);
    EXPECT_GE(waitForScreen([&](const QImage &i) { return near(i.pixel(centre), ours); }), 0);

    // A window manager may show its frame a moment before the desktop window inside it.
    const xcb_window_t frame = makePeerDesktop(screen->root, false);
    const xcb_window_t framed = makePeerDesktop(frame);
    show(frame);
    std::free(xcb_get_input_focus_reply(peer, xcb_get_input_focus(peer), nullptr));
    spinEventLoop(10ms); // the program has the frame's notice
    show(framed);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return controller->windowsByScreenKey().empty(); }, 5s));
    xcb_destroy_window(peer, frame);
    xcb_flush(peer);
    EXPECT_GE(waitForScreen([&](const QImage &i) { return near(i.pixel(centre), ours); }), 0);

    // There before the program: it draws nothing, not even for a moment.
    show(makePeerDesktop(screen->root));
    EXPECT_GE(waitForScreen([&](const QImage &i) { return near(i.pixel(centre), peerColour); }), 0);
    controller = std::make_unique<DesktopBackgroundController>();
    controller->setBackground(Background::color(QColor(ours)));
    EXPECT_TRUE(controller->windowsByScreenKey().empty());
    spinEventLoop(300ms);
    EXPECT_TRUE(controller->windowsByScreenKey().empty());
    EXPECT_TRUE(near(grabScreen().pixel(centre), peerColour));
    // Said once, whichever came first.
    EXPECT_EQ(standardError.text().count("“Peer\\u001bdesk” shows a desktop of its own"), 1)
        << standardError.text().toStdString();
}
