#include "KivUtilities/Detached.h"
#include "testsupport/RunTask.h"

#include <QCoro/QCoroTimer>
#include <QTimer>

#include <stdexcept>

using namespace std::chrono_literals;

namespace {

QCoro::Task<int> answerLater(int value)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(5ms);
    co_await timer;
    co_return value;
}

QCoro::Task<void> failLater(bool *reached)
{
    co_await answerLater(1);
    *reached = true;
    throw std::runtime_error("boom");
}

} // namespace

TEST(RunTask, ReturnsResultsRethrowsErrorsAndTimesOut)
{
    EXPECT_EQ(TestSupport::runTask(answerLater(42)), 42);

    bool reached = false;
    EXPECT_THROW(TestSupport::runTask(failLater(&reached)), std::runtime_error);
    EXPECT_TRUE(reached);
}

TEST(Detached, RunsToTheEndAndSwallowsExceptions)
{
    bool reached = false;
    KivUtilities::detached(failLater(&reached), "test work");
    EXPECT_FALSE(reached);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return reached; }));
}
