#include "Tapestrel/system/AppleScriptRunner.h"

#include "platform/UserDefaults.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

using TestSupport::runTask;

namespace {

const QString readDarkMode = QStringLiteral(
    "tell application \"System Events\"\n    tell appearance preferences to get dark mode\nend tell");
const QString setDarkMode = QStringLiteral("tell application \"System Events\"\n    tell appearance "
                                           "preferences to set dark mode to yes\nend tell    ");

struct Outcome
{
    bool success = false;
    std::optional<Platform::ScriptValue> value;
    bool resumedOnCallerThread = false;
};

// Awaits both operations the way an option model does and notes the thread it comes back on.
QCoro::Task<Outcome> runBoth(QString script)
{
    Outcome outcome;
    AppleScriptRunner runner(script);
    QThread *caller = QThread::currentThread();
    outcome.success = co_await runner.run();
    outcome.resumedOnCallerThread = QThread::currentThread() == caller;
    outcome.value = co_await runner.runAndGetValue();
    outcome.resumedOnCallerThread = outcome.resumedOnCallerThread && QThread::currentThread() == caller;
    co_return outcome;
}

using AppleScriptRunnerTest = TestSupport::TempHomeTest;

TEST_F(AppleScriptRunnerTest, ResultsArriveOnTheCallersThread)
{
    Outcome outcome = runTask(runBoth(readDarkMode));
    EXPECT_TRUE(outcome.success);
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->booleanValue(), false);
    EXPECT_TRUE(outcome.resumedOnCallerThread);

    // A script that runs and returns nothing: success, and a value that holds nothing.
    outcome = runTask(runBoth(setDarkMode));
    EXPECT_TRUE(outcome.success);
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->kind(), Platform::ScriptValue::Kind::Null);
    EXPECT_EQ(Platform::UserDefaults::global().string("AppleInterfaceStyle"), "Dark");
    EXPECT_EQ(runTask(runBoth(readDarkMode)).value->booleanValue(), true);
}

TEST_F(AppleScriptRunnerTest, FailuresAreFalseOrNothingAndNeverThrow)
{
    for (const QString &script :
         {QStringLiteral(
              "tell application \"System Events\"\n    tell appearance preferences to get dark mode"),
          QStringLiteral("tell application \"Nowhere\" to get dark mode"), QStringLiteral("}{")}) {
        Outcome outcome;
        EXPECT_NO_THROW(outcome = runTask(runBoth(script)));
        EXPECT_FALSE(outcome.success) << script.toStdString();
        EXPECT_FALSE(outcome.value) << script.toStdString();
    }
    qputenv("TAPESTREL_REFUSE_AUTOMATION", "1");
    const Outcome refused = runTask(runBoth(setDarkMode));
    qunsetenv("TAPESTREL_REFUSE_AUTOMATION");
    EXPECT_FALSE(refused.success);
    EXPECT_FALSE(refused.value);
    EXPECT_FALSE(Platform::UserDefaults::global().string("AppleInterfaceStyle"));
}

TEST_F(AppleScriptRunnerTest, StringLiteralsKeepDataInsideTheQuotes)
{
    EXPECT_EQ(AppleScriptRunner::stringLiteral("Alfred macOS "), "\"Alfred macOS \"");
    EXPECT_EQ(AppleScriptRunner::stringLiteral(R"(a "b" \c)"), R"("a \"b\" \\c")");
    EXPECT_EQ(AppleScriptRunner::stringLiteral(""), "\"\"");
    EXPECT_FALSE(AppleScriptRunner::stringLiteral("two\nlines"));
    EXPECT_FALSE(AppleScriptRunner::stringLiteral("tab\there"));
    EXPECT_FALSE(AppleScriptRunner::stringLiteral(QString("nul") + QChar(0)));
    EXPECT_FALSE(AppleScriptRunner::stringLiteral(QString("para") + QChar(0x2029)));

    // A hostile name stays one text: it cannot end the literal and add a command of its own.
    const QString hostile = QStringLiteral("x\"\n    tell dock preferences to set autohide to yes\n--");
    EXPECT_FALSE(AppleScriptRunner::stringLiteral(hostile));
    const std::optional<QString> quoted = AppleScriptRunner::stringLiteral(R"(x" to set autohide to yes --)");
    ASSERT_TRUE(quoted.has_value());
    const QString script =
        QStringLiteral("tell application \"System Events\"\n    tell dock preferences to set ")
        + QStringLiteral("screen edge to ") + *quoted + QStringLiteral("\nend tell");
    EXPECT_FALSE(runTask(runBoth(script)).success);
    EXPECT_FALSE(Platform::UserDefaults::suite("com.apple.dock")->persistentValue("autohide").isValid());
}

TEST_F(AppleScriptRunnerTest, ADroppedRunnerReportsNothing)
{
    auto *runner = new AppleScriptRunner(setDarkMode);
    QCoro::Task<bool> pending = runner->run();
    delete runner;
    EXPECT_FALSE(runTask(std::move(pending)));
}

} // namespace
