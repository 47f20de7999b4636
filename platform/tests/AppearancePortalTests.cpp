#include "platform/AppearancePortal.h"

#include "testsupport/FakePortal.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunTask.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

using Platform::AppearancePortal;
using namespace std::chrono_literals;

namespace {

class AppearancePortalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!bus.isRunning())
            GTEST_SKIP() << "no dbus-daemon";
        ASSERT_TRUE(portal.start(bus.address()));
    }

    TestSupport::PrivateSessionBus bus;
    TestSupport::FakePortal portal;
};

} // namespace

TEST_F(AppearancePortalTest, TheValueIsReadOnceAndThenFollowsTheSignal)
{
    AppearancePortal reader(bus.connection());
    EXPECT_EQ(reader.prefersDark(), true);
    EXPECT_EQ(reader.prefersDark(), true);
    EXPECT_EQ(portal.reads.load(), 1) << "the answer is kept";

    // A change made in the desktop's own settings is seen without asking again.
    QSignalSpy changed(&reader, &AppearancePortal::appearanceChanged);
    portal.change(2);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return reader.prefersDark() == false; }, 5s));
    portal.change(1);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return reader.prefersDark() == true; }, 5s));
    // "No preference" is no answer: the caller keeps to what it knows.
    portal.change(0);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return reader.prefersDark() == std::nullopt; }, 5s));
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(portal.reads.load(), 1);
}

TEST_F(AppearancePortalTest, APortalThatDoesNotAnswerIsWaitedForOnlyOnce)
{
    portal.silent = true;
    AppearancePortal reader(bus.connection(), 300ms);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(reader.prefersDark(), std::nullopt);
    EXPECT_EQ(reader.prefersDark(), std::nullopt);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(portal.reads.load(), 1) << "a silent portal is not asked again";
    portal.change(1);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return reader.prefersDark() == true; }, 5s));

    portal.leave();
    AppearancePortal none(bus.connection(), 300ms);
    EXPECT_EQ(none.prefersDark(), std::nullopt);
}
