#include "KivUtilities/Timeline.h"
#include "testsupport/ManualClock.h"
#include "testsupport/RunTask.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

using namespace KivUtilities;
using namespace std::chrono_literals;

TEST(Timeline, RunsWaitsRepeatsAndAnimationsInTheOrderTheyFallDue)
{
    TestSupport::ManualClock clock;
    Timeline timeline;
    timeline.setClock(clock.function());
    clock.drive([&] { timeline.advance(); });
    QStringList log;
    auto note = [&](const QString &what) {
        log << QStringLiteral("%1@%2").arg(what).arg(clock.elapsed().count());
    };

    const Timeline::Id late = timeline.after(30ms, [&] { note("late"); });
    timeline.after(10ms, [&] {
        note("early");
        // Scheduled from an action: counts from now.
        timeline.after(5ms, [&] { note("chained"); });
    });
    const Timeline::Id ticks = timeline.every(8ms, [&] { note("tick"); });
    const Timeline::Id dropped = timeline.after(12ms, [&] { note("dropped"); });
    QList<double> progress;
    const Timeline::Id fade = timeline.animate(
        20ms, [&](double p) { progress << p; }, [&] { note("faded"); });
    EXPECT_TRUE(timeline.isActive(dropped));
    timeline.cancel(dropped);
    timeline.cancel(0);
    EXPECT_FALSE(timeline.isActive(dropped));

    clock.runTo(20ms);
    EXPECT_FALSE(timeline.isActive(fade));
    EXPECT_EQ(progress.size(), 20) << "one step per advance";
    EXPECT_DOUBLE_EQ(progress.first(), 0.05);
    EXPECT_DOUBLE_EQ(progress.last(), 1.0);
    timeline.cancel(ticks);
    clock.runTo(40ms);
    EXPECT_EQ(log, QStringList({"tick@8", "early@10", "chained@15", "tick@16", "faded@20", "late@30"}));
    EXPECT_FALSE(timeline.isActive(late));

    // A clock moved by a whole interval at once: the repeat runs once, not once per interval missed.
    log.clear();
    timeline.every(10ms, [&] { note("poll"); });
    clock.runTo(50ms);
    timeline.setClock([] { return 200ms; });
    timeline.advance();
    EXPECT_EQ(log, QStringList({"poll@50", "poll@50"}));
}

TEST(Timeline, AnActionMayDestroyItsTimelineAndTheSteadyClockDrivesItself)
{
    auto timeline = std::make_unique<Timeline>();
    TestSupport::ManualClock clock;
    timeline->setClock(clock.function());
    bool second = false;
    timeline->after(1ms, [&] { timeline.reset(); });
    timeline->after(1ms, [&] { second = true; });
    timeline->advance(); // nothing is due yet
    clock.drive([&] {
        if (timeline)
            timeline->advance();
    });
    clock.runFor(1ms);
    EXPECT_FALSE(timeline);
    EXPECT_FALSE(second) << "the rest went with the timeline";

    // Without a clock of its own the timeline wakes itself when something is due.
    Timeline real;
    int fired = 0;
    double lastStep = 0;
    bool finished = false;
    real.after(20ms, [&] { ++fired; });
    real.animate(
        50ms, [&](double p) { lastStep = p; }, [&] { finished = true; });
    EXPECT_TRUE(TestSupport::waitUntil([&] { return fired == 1 && finished; }));
    EXPECT_DOUBLE_EQ(lastStep, 1.0);
}
