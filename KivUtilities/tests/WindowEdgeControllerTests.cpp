#include "KivUtilities/ScreenGeometry.h"
#include "KivUtilities/WindowEdgeController.h"
#include "testsupport/RunTask.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

using namespace KivUtilities;
using Edge = WindowEdgeController::Edge;
using namespace std::chrono_literals;

namespace {

// A 1440 × 900 screen with a 25-point menu bar on top and a 70-point Dock on the right.
const QRectF screen(0, 0, 1440, 900);
const QRectF visible(0, 0, 1370, 875);

} // namespace

TEST(WindowEdgeController, EdgeTestsInScreenCoordinates)
{
    // 1.5 points below the visible top with tolerance 0.5: the top allows one point more.
    const QRectF belowTop(300, 875 - 1.5 - 200, 400, 200);
    EXPECT_TRUE(WindowEdgeController::isAtEdge(Edge::Top, belowTop, visible, screen, 0.5));
    const QRectF offLeft(1.5, 100, 400, 200);
    EXPECT_FALSE(WindowEdgeController::isAtEdge(Edge::Left, offLeft, visible, screen, 0.5));
    EXPECT_TRUE(WindowEdgeController::isAtEdge(Edge::Left, offLeft, visible, screen, 1.5));
    // Without a tolerance the top still allows one point.
    EXPECT_TRUE(WindowEdgeController::isAtEdge(Edge::Top, QRectF(0, 874 - 200, 10, 200), visible, screen, 0));
    EXPECT_FALSE(
        WindowEdgeController::isAtEdge(Edge::Top, QRectF(0, 873.5 - 200, 10, 200), visible, screen, 0));
    // The right edge is the screen's border, not the Dock's.
    EXPECT_FALSE(WindowEdgeController::isAtEdge(Edge::Right, QRectF(970, 0, 400, 200), visible, screen, 0));
    EXPECT_TRUE(WindowEdgeController::isAtEdge(Edge::Right, QRectF(1040, 0, 400, 200), visible, screen, 0));
    EXPECT_TRUE(WindowEdgeController::isAtEdge(Edge::Bottom, QRectF(40, 2, 400, 200), visible, screen, 2));
    // A screen that does not start at the origin.
    const QRectF second(1440, -100, 1920, 1080);
    EXPECT_TRUE(WindowEdgeController::isAtEdge(Edge::Right, QRectF(2960, 0, 400, 200), second, second, 0));
}

TEST(WindowEdgeController, MovesKeepSizeAndLaterEdgesWin)
{
    const QRectF w(300, 300, 400, 200);
    EXPECT_EQ(WindowEdgeController::movedOrigin({Edge::Top, Edge::Bottom}, w, visible, 10), QPointF(300, 10));
    EXPECT_EQ(WindowEdgeController::movedOrigin({Edge::Right, Edge::Left}, w, visible, 10), QPointF(10, 300));
    EXPECT_EQ(WindowEdgeController::movedOrigin({Edge::Top, Edge::Right, Edge::Right}, w, visible, 5),
              QPointF(1370 - 400 - 5, 875 - 200 - 5));
    EXPECT_EQ(WindowEdgeController::movedOrigin({}, w, visible, 10), QPointF(300, 300));
}

TEST(WindowEdgeController, DrivesARealWindowAndForgetsItWhenGone)
{
    auto *window = new QWidget;
    window->setWindowFlags(Qt::FramelessWindowHint);
    window->setGeometry(100, 100, 300, 200);
    window->show();
    WindowEdgeController edges(window);
    const QRectF visibleFrame = ScreenGeometry::visibleFrame(window->screen());
    EXPECT_FALSE(edges.isAtAnyEdge(0));

    edges.moveTo({Edge::Left, Edge::Bottom}, 10);
    // The move animates; on a busy machine it may take longer than its nominal time.
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return ScreenGeometry::frame(window).topLeft() == visibleFrame.topLeft() + QPointF(10, 10); }));
    QRectF frame = ScreenGeometry::frame(window);
    EXPECT_DOUBLE_EQ(frame.x(), visibleFrame.x() + 10);
    EXPECT_DOUBLE_EQ(frame.y(), visibleFrame.y() + 10);
    EXPECT_EQ(frame.size(), QSizeF(300, 200));
    EXPECT_TRUE(edges.isAtEdge(Edge::Left, 10));
    EXPECT_FALSE(edges.isAtEdge(Edge::Left, 9));

    edges.snapToNearEdges(12, 0);
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return ScreenGeometry::frame(window).topLeft() == visibleFrame.topLeft(); }));
    frame = ScreenGeometry::frame(window);
    EXPECT_DOUBLE_EQ(frame.x(), visibleFrame.x());
    EXPECT_DOUBLE_EQ(frame.y(), visibleFrame.y());
    EXPECT_TRUE(edges.isAtEdge(Edge::Bottom));

    delete window;
    EXPECT_FALSE(edges.isAtAnyEdge(100));
    edges.snapToNearEdges(100, 0);
    edges.moveTo({Edge::Top}, 0);
    EXPECT_EQ(edges.window(), nullptr);
}
