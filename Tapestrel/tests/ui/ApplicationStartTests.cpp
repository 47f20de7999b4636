#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/AppDelegate.h"
#include "Tapestrel/ui/MainWindow.h"
#include "Tapestrel/ui/TapestrelApp.h"
#include "Tapestrel/ui/settings/SettingsView.h"

#include "platform/UserDefaults.h"
#include "testsupport/RunProcess.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds timeout = 20s)
{
    return TestSupport::waitUntil(condition, timeout);
}

// The real program started as a second process; this process keeps serving its event loop, since
// the second start may be talking to the program running here.
TestSupport::ProcessRun startProgram(const QStringList &arguments, const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAPESTREL_HOME"), home);
    environment.insert(QStringLiteral("TAPESTREL_QUIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
    return TestSupport::runProcess(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tapestrel")), arguments,
        environment, 60s, TestSupport::WhileWaiting::serveEvents);
}

class ApplicationStartTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
    }
};

TEST_F(ApplicationStartTest, StartsInOrderAndASecondStartOnlyWakesTheRunningProgram)
{
    TapestrelApp::configure(*qobject_cast<QApplication *>(QCoreApplication::instance()),
                            QStringLiteral("2.4.0"));
    Platform::UserDefaults::standard().setValue(Defaults::showDockIconKey, false);

    TapestrelApp app;
    // A fresh installation: the version it started with is recorded before anything else.
    EXPECT_EQ(Platform::UserDefaults::standard().value(QStringLiteral("FirstInstalledVersion")).toString(),
              "2.4.0");
    ASSERT_TRUE(app.start({QStringLiteral("tapestrel")}));

    // The task-bar presence follows "showDockIcon" from the start.
    ASSERT_NE(app.delegate().dockIconVisibilityController(), nullptr);
    EXPECT_EQ(ApplicationPresentation::application().activationPolicy(),
              Platform::ActivationPolicy::Accessory);

    MainWindow &window = app.mainWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.property("windowId").toString(), MainWindow::windowId);
    EXPECT_EQ(window.size(), MainWindow::defaultSize);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window.geometry().center() - available.center()).manhattanLength(), 4);

    // The start-up task brings the shipped profiles in.
    ModelContext *context = Tapestrel::shared().modelContainer().mainContext();
    ASSERT_TRUE(waitFor([context] { return context->fetchProfiles().size() == 8; }));
    Profile *wanted = context->fetchProfiles().back();

    // A second start in the same home hands over and ends: the running program shows its main
    // window; the second process never paints a window of its own.
    window.hide();
    const TestSupport::ProcessRun second = startProgram({}, home.path());
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_FALSE(second.out.contains("first-paint")) << second.out.toStdString();
    EXPECT_TRUE(window.isVisible());
    // What a handed-over start asks for: the window, and the profile it names.
    window.hide();
    app.activate({QStringLiteral("tapestrel"), QStringLiteral("--show-profile"), wanted->uuid()});
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(
        waitFor([&] { return app.selection().selectedProfiles() == SelectionModel::Selection({wanted}); }));

    // The settings window is made once and kept.
    app.showSettings();
    SettingsView &settings = app.settingsWindow();
    EXPECT_TRUE(settings.isVisible());
    settings.close();
    app.showSettings();
    EXPECT_EQ(&app.settingsWindow(), &settings);
    EXPECT_TRUE(settings.isVisible());
}

} // namespace
