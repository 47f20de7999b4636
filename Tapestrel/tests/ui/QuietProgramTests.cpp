#include "Tapestrel/ui/AppInfo.h"
#include "Tapestrel/ui/MainWindow.h"
#include "platform/UserDefaults.h"
#include "testsupport/RunProcess.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"
#include "testsupport/X11Windows.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// The real program on the test's display, used as a person does in the first minutes.
class X11QuietProgramTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        if (!TestSupport::X11::available())
            GTEST_SKIP() << "needs the xcb platform";
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
    }
};

TEST_F(X11QuietProgramTest, CreatingAProfileAndQuittingPrintNothing)
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.setValue(QStringLiteral("didShowIntroduction"), true);
    defaults.setValue(QStringLiteral("didAcceptLicense"), true);
    // Installed at this version: no release notes are due.
    defaults.setValue(QStringLiteral("FirstInstalledVersion"), AppInfo::buildVersion());
    ASSERT_TRUE(defaults.synchronize());
    // Qt itself complains on standard error without a runtime folder; a desktop session has one.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAPESTREL_HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tapestrel"));

    QProcess running;
    running.setProcessEnvironment(environment);
    running.start(program, {});
    ASSERT_TRUE(running.waitForStarted(10000));
    TestSupport::X11::Window main = 0;
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            for (const TestSupport::X11::Window window : TestSupport::X11::windowsOf(running.processId())) {
                if (TestSupport::X11::geometry(window).size() == MainWindow::defaultSize)
                    main = window;
            }
            return main != 0 || running.state() == QProcess::NotRunning;
        },
        60s));
    ASSERT_NE(main, 0u) << running.readAllStandardError().toStdString();

    // A profile made from the current settings reads many values that have none here.
    const TestSupport::ProcessRun created = TestSupport::runProcess(
        program, {QStringLiteral("create"), QStringLiteral("Fresh")}, environment, 60s);
    EXPECT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_EQ(created.err, "");

    // Closing the main window, the last one, ends the program.
    TestSupport::X11::requestClose(main);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return running.state() == QProcess::NotRunning; }, 30s));
    EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(running.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(running.readAllStandardError()), "");
}

} // namespace
