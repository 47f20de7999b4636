#include "KivUtilities/DelayedActionController.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/LimitActionController.h"
#include "KivUtilities/LockedOperationRunner.h"
#include "KivUtilities/MainThread.h"
#include "testsupport/ManualClock.h"
#include "testsupport/RunTask.h"

#include <QCoro/QCoroTimer>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

using namespace std::chrono_literals;
using namespace KivUtilities;
using TestSupport::spinEventLoop;
using TestSupport::waitUntil;

namespace {

QCoro::Task<void> failLater(bool *reached)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(5ms);
    co_await timer;
    *reached = true;
    throw std::runtime_error("boom");
}

} // namespace

TEST(Detached, RunsToTheEndAndSwallowsExceptions)
{
    bool reached = false;
    detached(failLater(&reached), "test work");
    EXPECT_FALSE(reached);
    EXPECT_TRUE(waitUntil([&] { return reached; }));
}

TEST(DelayedActionController, RunsOnceAfterABurstHasBeenQuiet)
{
    TestSupport::ManualClock clock;
    std::vector<std::chrono::milliseconds> runs;
    DelayedActionController controller(QStringLiteral("burst"), 400ms,
                                       [&] { runs.push_back(clock.elapsed()); });
    controller.timeline().setClock(clock.function());
    clock.drive([&] { controller.timeline().advance(); });
    EXPECT_FALSE(controller.lastTime().has_value());

    controller.trigger();
    clock.runFor(80ms);
    controller.trigger();
    clock.runFor(80ms);
    controller.trigger();
    EXPECT_TRUE(controller.lastTime().has_value());
    clock.runTo(160ms + 399ms);
    EXPECT_TRUE(runs.empty()) << "the burst is not quiet long enough yet";
    EXPECT_TRUE(controller.isPending());
    clock.runTo(160ms + 400ms);
    EXPECT_EQ(runs, (std::vector {160ms + 400ms}));
    EXPECT_FALSE(controller.isPending());

    // Triggers further apart than the interval each run the action.
    runs.clear();
    clock.runFor(500ms);
    controller.trigger();
    clock.runFor(400ms);
    controller.trigger();
    clock.runFor(400ms);
    EXPECT_EQ(runs, (std::vector {1060ms + 400ms, 1460ms + 400ms}));
}

TEST(DelayedActionController, DestroyingTheControllerCancelsThePendingActionAndAReplacedActionRuns)
{
    int runs = 0;
    auto controller =
        std::make_unique<DelayedActionController>(QStringLiteral("gone"), 50ms, [&] { ++runs; });
    controller->trigger();
    controller.reset();
    spinEventLoop(150ms);
    EXPECT_EQ(runs, 0);

    DelayedActionController replaced(QString(), 20ms, [&] { runs += 100; });
    replaced.trigger();
    replaced.setAction([&] { ++runs; });
    ASSERT_TRUE(waitUntil([&] { return runs > 0; }));
    EXPECT_EQ(runs, 1);
}

TEST(LimitActionController, RunsAtMostOneMoreWhileBusy)
{
    std::mutex mutex;
    std::vector<qint64> starts;
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> onMainThread = false;
    const QThread *mainThread = QThread::currentThread();
    {
        LimitActionController throttle(QThread::NormalPriority, 100ms, [&] {
            onMainThread = onMainThread || QThread::currentThread() == mainThread;
            {
                std::lock_guard lock(mutex);
                starts.push_back(clock.elapsed());
            }
            QThread::msleep(300);
        });
        for (int i = 0; i < 5; ++i)
            throttle.trigger();
        EXPECT_EQ(throttle.operationCount(), 2);
        // The controller may go away: accepted runs still happen.
    }
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(mutex);
        return starts.size() == 2;
    }));
    spinEventLoop(600ms);
    std::lock_guard lock(mutex);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_LT(starts[0], 1000);
    // The second run waits for the first run and the pause after it.
    EXPECT_GE(starts[1] - starts[0], 400);
    EXPECT_FALSE(onMainThread);
}

TEST(LimitActionController, SemaphoreRunLastsUntilReleased)
{
    std::mutex mutex;
    std::shared_ptr<QSemaphore> pending;
    std::atomic<int> runs = 0;
    LimitActionController throttle(QThread::LowPriority, 10ms, [&](std::shared_ptr<QSemaphore> semaphore) {
        ++runs;
        std::lock_guard lock(mutex);
        pending = std::move(semaphore);
    });
    const auto release = [&] {
        std::lock_guard lock(mutex);
        if (pending)
            std::exchange(pending, nullptr)->release();
    };
    throttle.trigger();
    ASSERT_TRUE(waitUntil([&] { return runs == 1; }));
    for (int i = 0; i < 3; ++i)
        throttle.trigger();
    spinEventLoop(100ms);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(throttle.operationCount(), 2);

    release();
    ASSERT_TRUE(waitUntil([&] { return runs == 2; }));
    release();
    ASSERT_TRUE(waitUntil([&] { return throttle.operationCount() == 0; }));
    EXPECT_EQ(runs, 2);
    throttle.trigger();
    ASSERT_TRUE(waitUntil([&] { return runs == 3; }));
    release();
    ASSERT_TRUE(waitUntil([&] { return throttle.operationCount() == 0; }));
}

TEST(LockedOperationRunner, WithoutMinimumDurationLocksOnlyDuringTheOperation)
{
    int runs = 0;
    LockedOperationRunner *self = nullptr;
    LockedOperationRunner runner(std::nullopt, [&] {
        ++runs;
        EXPECT_TRUE(self->isWorking());
        self->run(); // dropped: the lock is held
    });
    self = &runner;
    runner.run();
    runner.run();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(runner.isLocked());

    // A failing operation is reported and does not leave the runner locked.
    LockedOperationRunner failing(std::nullopt, [] { throw std::runtime_error("boom"); });
    EXPECT_THROW(failing.run(), std::runtime_error);
    EXPECT_FALSE(failing.isLocked());
    EXPECT_FALSE(failing.isWorking());
}

TEST(LockedOperationRunner, MinimumDurationKeepsTheLock)
{
    TestSupport::ManualClock clock;
    int runs = 0;
    LockedOperationRunner runner(600ms, [&] {
        ++runs;
        clock.runFor(30ms);
    });
    LockedOperationRunner slow(50ms, [&] { clock.runFor(200ms); });
    for (LockedOperationRunner *each : {&runner, &slow})
        each->timeline().setClock(clock.function());
    clock.drive([&] {
        runner.timeline().advance();
        slow.timeline().advance();
    });
    runner.run();
    EXPECT_TRUE(runner.isLocked());
    clock.runTo(150ms);
    runner.run();
    EXPECT_EQ(runs, 1);
    clock.runTo(599ms);
    EXPECT_TRUE(runner.isLocked()) << "the lock lasts from the start of the run";
    clock.runTo(600ms);
    EXPECT_FALSE(runner.isLocked());
    runner.run();
    EXPECT_EQ(runs, 2);

    // An operation longer than the minimum: the lock goes on the next turn of the event loop.
    slow.run();
    EXPECT_TRUE(slow.isLocked());
    EXPECT_FALSE(slow.isWorking());
    clock.runFor(2 * TestSupport::ManualClock::step);
    EXPECT_FALSE(slow.isLocked());

    // Changing the minimum between runs takes effect on the next run; dropping it unlocks at once.
    slow.setMinimumDuration(std::nullopt);
    slow.run();
    EXPECT_FALSE(slow.isLocked());
}

TEST(MainThread, RunsBlocksOnTheMainThreadAndWaits)
{
    const QThread *mainThread = QThread::currentThread();
    const QThread *ranOn = nullptr;
    runOnMainThreadSync([&] { ranOn = QThread::currentThread(); });
    EXPECT_EQ(ranOn, mainThread);

    ranOn = nullptr;
    std::atomic<bool> returned = false;
    bool ranBeforeReturn = false;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        runOnMainThreadSync([&] { ranOn = QThread::currentThread(); });
        ranBeforeReturn = ranOn != nullptr;
        returned = true;
    }));
    worker->start();
    ASSERT_TRUE(waitUntil([&] { return returned.load(); }));
    worker->wait();
    EXPECT_EQ(ranOn, mainThread);
    EXPECT_TRUE(ranBeforeReturn);
}
