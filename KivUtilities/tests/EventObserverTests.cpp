#include "KivUtilities/ClickOutsideAppEventObserver.h"
#include "KivUtilities/EventMonitors.h"
#include "KivUtilities/EventObserver.h"
#include "KivUtilities/IntervalObjectObserver.h"
#include "KivUtilities/MouseMoveObserver.h"
#include "KivUtilities/SingleAndDoubleTapHandlerModifier.h"
#include "KivUtilities/SwipeEventObserver.h"
#include "platform/Workspace.h"
#include "testsupport/ManualClock.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using namespace KivUtilities;
using TestSupport::spinEventLoop;
using namespace std::chrono_literals;

namespace {

MonitoredEvent click(quint64 windowNumber = 0, QWidget *window = nullptr)
{
    MonitoredEvent event;
    event.type = EventType::LeftMouseDown;
    event.isGlobal = window == nullptr;
    event.windowNumber = windowNumber;
    event.window = window;
    return event;
}

void pressOn(QWidget *widget)
{
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget->windowHandle(), &press);
}

} // namespace

TEST(EventObserver, SeesLocalAndGlobalEventsWithoutTakingThem)
{
    struct Window : QWidget
    {
        int presses = 0;
        void mousePressEvent(QMouseEvent *) override { ++presses; }
    } window;
    window.resize(100, 100);
    window.show();

    EventMonitors::shared().setMouseLocationOverride(QPointF(12, 34));
    EventObserver observer;
    QList<QPointF> seen;
    QList<bool> local;
    const int localBefore = EventMonitors::shared().localMonitorCount();
    observer.start(EventType::LeftMouseDown, [](const MonitoredEvent &, const QPointF &) {});
    observer.start(EventType::LeftMouseDown, [&](const MonitoredEvent &event, const QPointF &mouse) {
        seen << mouse;
        local << bool(event.window);
    });
    EXPECT_EQ(EventMonitors::shared().localMonitorCount(), localBefore + 1)
        << "a second start replaces the first";

    pressOn(&window);
    EXPECT_EQ(window.presses, 1) << "the click still reaches its window";
    EventMonitors::shared().dispatchGlobal(click(7));
    MonitoredEvent key;
    key.type = EventType::KeyDown;
    EventMonitors::shared().dispatchGlobal(key);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen.first(), QPointF(12, 34));
    EXPECT_EQ(local, QList<bool>({true, false}));

    observer.stop();
    observer.stop();
    EXPECT_EQ(EventMonitors::shared().localMonitorCount(), localBefore);
    EventMonitors::shared().dispatchGlobal(click(7));
    EXPECT_EQ(seen.size(), 2);
    EventMonitors::shared().setMouseLocationOverride(std::nullopt);
}

TEST(EventObserver, SwipeDirectionsOverTheWindowOnly)
{
    using D = SwipeEventObserver::Direction;
    const std::tuple<qreal, qreal, std::optional<D>> deltas[] = {
        {6, 2, D::Right}, {6, 6, {}}, {5, 0, {}}, {0, -8, D::Up}, {-9, 1, D::Left}, {1, 9, D::Down}};
    for (const auto &[dx, dy, direction] : deltas)
        EXPECT_EQ(SwipeEventObserver::classify(dx, dy, 5), direction) << dx << "," << dy;

    QWidget window;
    window.setGeometry(100, 100, 200, 150);
    window.show();
    const QRectF frame = QRectF(window.frameGeometry());
    QList<D> reported;
    SwipeEventObserver swipes;
    swipes.start(&window, {D::Left, D::Right}, [&](D direction) { reported << direction; });
    auto scroll = [](qreal dx, qreal dy) {
        MonitoredEvent event;
        event.type = EventType::ScrollWheel;
        event.isGlobal = true;
        event.scrollingDeltaX = dx;
        event.scrollingDeltaY = dy;
        EventMonitors::shared().dispatchGlobal(event);
    };
    EventMonitors::shared().setMouseLocationOverride(frame.center());
    scroll(8, 1);
    scroll(0, 9); // down: not of interest
    swipes.threshold = 10;
    scroll(8, 1); // below the new threshold
    EXPECT_EQ(reported, QList<D>({D::Right}));
    EventMonitors::shared().setMouseLocationOverride(frame.topLeft() + QPointF(-20, 0));
    scroll(-30, 0);
    EventMonitors::shared().setMouseLocationOverride(frame.center());
    window.hide();
    scroll(-30, 0);
    EXPECT_EQ(reported, QList<D>({D::Right}));
    EventMonitors::shared().setMouseLocationOverride(std::nullopt);
}

TEST(EventObserver, ClicksOutsideSkipOwnWindowsAndIgnoredApplications)
{
    TestSupport::TempHome home;
    Platform::RunningApplication editor;
    editor.processIdentifier = 4242;
    editor.bundleIdentifier = QStringLiteral("com.example.Editor");
    Platform::Workspace::shared().addRunningApplication(editor);
    ClickOutsideAppEventObserver::setWindowLookup(
        [](quint64 number) -> std::optional<ClickOutsideAppEventObserver::WindowOwner> {
            if (number == 10)
                return ClickOutsideAppEventObserver::WindowOwner {QStringLiteral("Other"), 4242};
            if (number == 11)
                return ClickOutsideAppEventObserver::WindowOwner {
                    QStringLiteral("My com.example.editor helper"), std::nullopt};
            if (number == 12)
                return ClickOutsideAppEventObserver::WindowOwner {QStringLiteral("Finder"), 1};
            return std::nullopt;
        });

    ClickOutsideAppEventObserver observer({QStringLiteral("com.example.editor")});
    EXPECT_TRUE(observer.shouldIgnore(click(10))) << "by the owner's bundle identifier";
    EXPECT_TRUE(observer.shouldIgnore(click(11))) << "by the owner's name";
    EXPECT_FALSE(observer.shouldIgnore(click(12)));
    EXPECT_FALSE(observer.shouldIgnore(click(0)));
    EXPECT_FALSE(observer.shouldIgnore(click(quint64(1) << 33)));
    EXPECT_FALSE(ClickOutsideAppEventObserver({}).shouldIgnore(click(10)));

    QWidget own;
    own.show();
    int outside = 0;
    observer.start([&] { ++outside; });
    EventMonitors::shared().dispatchGlobal(click(10));
    pressOn(&own);
    EXPECT_EQ(outside, 0);
    EventMonitors::shared().dispatchGlobal(click(12));
    EventMonitors::shared().dispatchGlobal(click(0));
    EXPECT_EQ(outside, 2);
    observer.stop();
    EventMonitors::shared().dispatchGlobal(click(12));
    EXPECT_EQ(outside, 2);
    ClickOutsideAppEventObserver::setWindowLookup({});
}

TEST(EventObserver, TimedObserversReportOnTheirSchedule)
{
    TestSupport::ManualClock clock;
    EventMonitors::shared().setMouseLocationOverride(QPointF(1, 2));
    int moves = 0;
    MouseMoveObserver mouse;
    mouse.timeline().setClock(clock.function());
    clock.drive([&] { mouse.timeline().advance(); });
    mouse.start(0.1, [&](const QPointF &at) {
        EXPECT_EQ(at, QPointF(1, 2));
        ++moves;
    });
    EXPECT_EQ(moves, 1) << "reports at once";
    clock.runTo(99ms);
    EXPECT_EQ(moves, 1);
    clock.runTo(100ms);
    EXPECT_EQ(moves, 2) << "then once every interval";
    clock.runTo(350ms);
    EXPECT_EQ(moves, 4);
    EXPECT_TRUE(mouse.isRunning());
    mouse.stop();
    EXPECT_FALSE(mouse.isRunning());
    clock.runFor(250ms);
    EXPECT_EQ(moves, 4);
    EventMonitors::shared().setMouseLocationOverride(std::nullopt);

    // A value that flips and flips back between two checks is not reported.
    struct Source
    {
        int value = 1;
    };
    auto source = std::make_shared<Source>();
    QList<int> changes;
    IntervalObjectObserver<std::shared_ptr<Source>, int> values(
        source, [](const std::shared_ptr<Source> &s) { return s->value; }, 0.1,
        [&](const int &value, auto &) { changes << value; }, clock.function());
    clock.drive([&] { values.timeline().advance(); });
    clock.runFor(99ms);
    EXPECT_TRUE(changes.isEmpty()) << "the first report comes one interval after the start";
    clock.runFor(1ms);
    EXPECT_EQ(changes, QList<int>({1}));
    source->value = 2;
    source->value = 1;
    clock.runFor(100ms);
    EXPECT_EQ(changes, QList<int>({1}));
    source->value = 3;
    clock.runFor(99ms);
    EXPECT_EQ(changes, QList<int>({1})) << "the change waits for the next check";
    clock.runFor(1ms);
    EXPECT_EQ(changes, QList<int>({1, 3}));
    values.stop();
    source->value = 4;
    clock.runFor(250ms);
    EXPECT_EQ(changes, QList<int>({1, 3}));
}

TEST(EventObserver, SingleAndDoubleTaps)
{
    TestSupport::ManualClock clock;
    QWidget view;
    QStringList calls;
    auto *taps = new SingleAndDoubleTapHandlerModifier(
        &view, [&] { calls << "single"; }, [&] { calls << "double"; });
    taps->timeline().setClock(clock.function());
    clock.drive([&] { taps->timeline().advance(); });
    taps->tap();
    clock.runFor(200ms);
    taps->tap();
    clock.runTo(299ms);
    EXPECT_EQ(calls, QStringList({"single", "single"}));
    clock.runTo(300ms);
    EXPECT_EQ(calls, QStringList({"single", "single", "double"})) << "0.3 s after the first tap";
    clock.runTo(600ms);
    EXPECT_EQ(calls.size(), 3);

    calls.clear();
    taps->tap();
    taps->tap();
    taps->tap();
    clock.runFor(400ms);
    EXPECT_EQ(calls, QStringList({"single", "single", "single"}));

    calls.clear();
    taps->tap();
    clock.runFor(300ms);
    taps->tap();
    clock.runFor(400ms);
    EXPECT_EQ(calls, QStringList({"single", "single"})) << "taps 0.3 s apart are two single taps";
}
