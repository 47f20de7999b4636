#include "Tapestrel/system/AppTerminator.h"

#include "Tapestrel/model/ProfileOperationQueue.h"

#include "platform/Alerts.h"
#include "platform/UserDefaults.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using Platform::RunningApplication;
using Platform::UserDefaults;
using Platform::Workspace;
using TestSupport::runTask;

namespace {

const QString iterm = QStringLiteral("com.googlecode.iterm2");
const QString message = QStringLiteral("iTerm2 must restart to use the new colours.");

class AppTerminatorTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        home.writeFile("Applications/iTerm.app/Contents/Info.plist",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                       "<key>CFBundleIdentifier</key><string>com.googlecode.iterm2</string>"
                       "<key>CFBundleName</key><string>iTerm2</string>"
                       "<key>CFBundleExecutable</key><string>iTerm2</string></dict></plist>");
    }

    qint64 launch(const QString &name = "iTerm2", bool withBundle = true)
    {
        RunningApplication application;
        application.bundleIdentifier = iterm;
        application.localizedName = name;
        if (withBundle)
            application.bundlePath = home.filePath("Applications/iTerm.app");
        application.executablePath = home.filePath("Applications/iTerm.app/Contents/MacOS/iTerm2");
        return Workspace::shared().addRunningApplication(application);
    }

    QList<qint64> runningPids() const
    {
        QList<qint64> pids;
        for (const RunningApplication &application : Workspace::shared().runningApplications(iterm))
            pids.append(application.processIdentifier);
        return pids;
    }

    // The caller's work notes whether the application was running while it ran.
    AppTerminator::Work work()
    {
        return [this] {
            ++workRuns;
            runningDuringWork = runningPids();
        };
    }

    AppTerminator::Outcome relaunch() { return runTask(AppTerminator::relaunchApp(iterm, message, work())); }

    Platform::ScriptedAlertAnswerer alerts;
    int workRuns = 0;
    QList<qint64> runningDuringWork;
};

TEST_F(AppTerminatorTest, NotRunningRunsTheWorkAndOpensNothing)
{
    EXPECT_EQ(relaunch(), AppTerminator::Outcome::NotRunning);
    EXPECT_EQ(workRuns, 1);
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_TRUE(runningPids().isEmpty());

    // A terminated entry, or another bundle identifier, is not the application.
    RunningApplication gone;
    gone.bundleIdentifier = iterm;
    gone.terminated = true;
    Workspace::shared().addRunningApplication(gone);
    RunningApplication other;
    other.bundleIdentifier = "com.googlecode.iterm2.helper";
    Workspace::shared().addRunningApplication(other);
    EXPECT_FALSE(AppTerminator::runningApplication(iterm));
    runTask(AppTerminator::relaunchApp(iterm, message)); // no work at all is fine too
    EXPECT_TRUE(alerts.alerts().isEmpty());
}

struct Answer
{
    const char *name;
    int button; // 0: "Re-launch iTerm2", 1: "Skip"
    bool remembered;
    AppTerminator::Outcome outcome;
    QString storedKey; // where a remembered answer is kept, with its value
    QVariant stored;
};

void PrintTo(const Answer &answer, std::ostream *out)
{
    *out << answer.name;
}

class AppTerminatorAnswerTest
    : public AppTerminatorTest
    , public ::testing::WithParamInterface<Answer>
{
};

// Consent quits the application, runs the work once it has exited and opens it again after a pause;
// a skip runs the work while it runs on. A remembered answer is kept under the application's name (with
// a closing parenthesis) and answers the next time without a question.
TEST_P(AppTerminatorAnswerTest, TheAnswerIsFollowedAndARememberedOneStopsTheQuestion)
{
    const Answer &answer = GetParam();
    const bool quits = answer.outcome == AppTerminator::Outcome::Relaunched;
    qint64 pid = launch();
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        alerts.answer(answer.button, answer.remembered);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(relaunch(), answer.outcome);
        EXPECT_EQ(workRuns, run);
        EXPECT_EQ(runningDuringWork, quits ? QList<qint64>() : QList<qint64> {pid});
        const QList<qint64> after = runningPids();
        ASSERT_EQ(after.size(), 1);
        EXPECT_EQ(after.first() != pid, quits);
        if (quits) {
            EXPECT_GE(clock.elapsed(), AppTerminator::reopenDelay.count() - 20); // after the pause
        }
        pid = after.first();
        EXPECT_EQ(alerts.alerts().size(), answer.remembered ? 1 : run);
        for (const QString &key : {AppTerminator::suppressionKey("iTerm2"), AppTerminator::skipKey("iTerm2")})
            EXPECT_EQ(UserDefaults::standard().value(key),
                      key == answer.storedKey ? answer.stored : QVariant());
    }
    const Platform::Alert &alert = alerts.alerts().first();
    EXPECT_EQ(alert.message, message);
    EXPECT_EQ(alert.buttons, (QStringList {"Re-launch iTerm2", "Skip"}));
    EXPECT_EQ(alert.suppressionTitle, "Do not show this message again");
    EXPECT_EQ(alert.defaultButton, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AppTerminatorAnswerTest,
    ::testing::Values(Answer {"Relaunch", 0, false, AppTerminator::Outcome::Relaunched, {}, {}},
                      Answer {"Skip", 1, false, AppTerminator::Outcome::Skipped, {}, {}},
                      Answer {"RememberedRelaunch", 0, true, AppTerminator::Outcome::Relaunched,
                              "relaunchAlertSuppression-iTerm2)", false},
                      Answer {"RememberedSkip", 1, true, AppTerminator::Outcome::Skipped,
                              "relaunchAlertSkip-iTerm2)", true}),
    [](const ::testing::TestParamInfo<Answer> &info) { return std::string(info.param.name); });

TEST_F(AppTerminatorTest, UnattendedOperationNeverAsksAndLeavesTheApplicationRunning)
{
    const qint64 pid = launch();
    {
        // A script's apply: nobody may be there to answer, and a forced quit could lose open work.
        const auto turn = runTask(
            ProfileOperationQueue::shared().waitForTurn(ProfileOperationQueue::Attendance::unattended));
        EXPECT_TRUE(ProfileOperationQueue::shared().isUnattended());
        relaunch();
        EXPECT_TRUE(alerts.alerts().isEmpty());
        EXPECT_EQ(workRuns, 1);
        EXPECT_EQ(runningPids(), QList<qint64> {pid});
        EXPECT_FALSE(UserDefaults::standard().value(AppTerminator::skipKey("iTerm2")).isValid());
    }
    EXPECT_FALSE(ProfileOperationQueue::shared().isUnattended());
    // A person's operation asks as before.
    const auto turn = runTask(ProfileOperationQueue::shared().waitForTurn());
    EXPECT_FALSE(ProfileOperationQueue::shared().isUnattended());
    alerts.answer(1);
    relaunch();
    EXPECT_EQ(alerts.alerts().size(), 1);
}

TEST_F(AppTerminatorTest, OnlyTheExactKeyFalseSkipsTheQuestion)
{
    launch();
    // True means ask; a key without the closing parenthesis is another key.
    UserDefaults::standard().setValue("relaunchAlertSuppression-iTerm2)", true);
    UserDefaults::standard().setValue("relaunchAlertSuppression-iTerm2", false);
    UserDefaults::standard().setValue("relaunchAlertSuppression-(iTerm2)", false);
    alerts.answer(1);
    relaunch();
    EXPECT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(workRuns, 1);
}

TEST_F(AppTerminatorTest, NamesWithoutALocalisedNameAndApplicationsWithoutABundle)
{
    // The executable's file name stands in for the missing name, in the button and in the key.
    const qint64 pid = launch("", false);
    alerts.answer(0, true);
    relaunch();
    EXPECT_EQ(alerts.alerts().first().buttons.first(), "Re-launch iTerm2");
    EXPECT_EQ(UserDefaults::standard().value("relaunchAlertSuppression-iTerm2)"), QVariant(false));
    // Without a bundle it is quit and the work runs, but nothing can be reopened.
    EXPECT_EQ(workRuns, 1);
    EXPECT_FALSE(runningPids().contains(pid));
    EXPECT_TRUE(runningPids().isEmpty());

    RunningApplication bare;
    bare.processIdentifier = 9;
    EXPECT_EQ(AppTerminator::appName(bare), "app");
    EXPECT_EQ(AppTerminator::suppressionKey("app"), "relaunchAlertSuppression-app)");
}

TEST_F(AppTerminatorTest, FailingWorkStillReopensTheApplication)
{
    launch();
    alerts.answer(0);
    // Its error reaches the caller once the application runs again.
    EXPECT_THROW(
        runTask(AppTerminator::relaunchApp(iterm, message, [] { throw std::runtime_error("disk full"); })),
        std::runtime_error);
    EXPECT_EQ(runningPids().size(), 1);
}

} // namespace
