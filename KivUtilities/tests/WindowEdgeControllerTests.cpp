#include "KivUtilities/ScreenGeometry.h"
#include "KivUtilities/WindowEdgeController.h"
#include "testsupport/RunTask.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

using namespace KivUtilities;
using Edge = WindowEdgeController::Edge;

namespace {

// A 1440 × 900 screen with a 25-point menu bar on top and a 70-point Dock on the right.
const QRectF screen(0, 0, 1440, 900);
const QRectF visible(0, 0, 1370, 875);

bool at(Edge edge, const QRectF &window, qreal tolerance, const QRectF &shown = visible,
        const QRectF &whole = screen)
{
    return WindowEdgeController::isAtEdge(edge, window, shown, whole, tolerance);
}

} // namespace

TEST(WindowEdgeController, EdgeTestsInScreenCoordinates)
{
    // 1.5 points below the visible top with tolerance 0.5: the top allows one point more.
    EXPECT_TRUE(at(Edge::Top, QRectF(300, 875 - 1.5 - 200, 400, 200), 0.5));
    EXPECT_FALSE(at(Edge::Left, QRectF(1.5, 100, 400, 200), 0.5));
    EXPECT_TRUE(at(Edge::Left, QRectF(1.5, 100, 400, 200), 1.5));
    // Without a tolerance the top still allows one point.
    EXPECT_TRUE(at(Edge::Top, QRectF(0, 874 - 200, 10, 200), 0));
    EXPECT_FALSE(at(Edge::Top, QRectF(0, 873.5 - 200, 10, 200), 0));
    // The right edge is the screen's border, not the Dock's.
    EXPECT_FALSE(at(Edge::Right, QRectF(970, 0, 400, 200), 0));
    EXPECT_TRUE(at(Edge::Right, QRectF(1040, 0, 400, 200), 0));
    EXPECT_TRUE(at(Edge::Bottom, QRectF(40, 2, 400, 200), 2));
    // A screen that does not start at the origin.
    const QRectF second(1440, -100, 1920, 1080);
    EXPECT_TRUE(at(Edge::Right, QRectF(2960, 0, 400, 200), 0, second, second));
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

    // The moves animate; on a busy machine they may take longer than their nominal time.
    edges.moveTo({Edge::Left, Edge::Bottom}, 10);
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return ScreenGeometry::frame(window).topLeft() == visibleFrame.topLeft() + QPointF(10, 10); }));
    EXPECT_EQ(ScreenGeometry::frame(window).size(), QSizeF(300, 200));
    EXPECT_TRUE(edges.isAtEdge(Edge::Left, 10));
    EXPECT_FALSE(edges.isAtEdge(Edge::Left, 9));

    edges.snapToNearEdges(12, 0);
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return ScreenGeometry::frame(window).topLeft() == visibleFrame.topLeft(); }));
    EXPECT_TRUE(edges.isAtEdge(Edge::Bottom));

    delete window;
    EXPECT_FALSE(edges.isAtAnyEdge(100));
    edges.snapToNearEdges(100, 0);
    edges.moveTo({Edge::Top}, 0);
    EXPECT_EQ(edges.window(), nullptr);
}
