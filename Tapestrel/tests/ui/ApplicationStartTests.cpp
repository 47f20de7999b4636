#include "KivIntroduction/IntroductionController.h"
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
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

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
    // The introduction has been shown before (the first start has a test of its own).
    Platform::UserDefaults::standard().setValue(QStringLiteral("didShowIntroduction"), true);

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

// The first start under a real display: the introduction runs modally before the main window,
// and a later start of the real program in the same home opens the main window straight away.
class X11FirstStartTest : public ApplicationStartTest
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform";
        ApplicationStartTest::SetUp();
    }
};

TEST_F(X11FirstStartTest, IntroductionComesBeforeTheMainWindowAndOnlyOnce)
{
    TapestrelApp::configure(*qobject_cast<QApplication *>(QCoreApplication::instance()),
                            QStringLiteral("2.4.0"));
    TapestrelApp app;
    ASSERT_TRUE(app.start({QStringLiteral("tapestrel")}));
    KivIntroduction::IntroductionController &introduction = Tapestrel::shared().introductionController();

    // The introduction runs modally once the event loop runs; a person walks through it from
    // inside that run: Continue, Accept, Continue, Continue, Finish.
    QStringList steps {"ContinueButton", "AcceptButton", "ContinueButton", "ContinueButton", "FinishButton"};
    bool sawIntroduction = false;
    bool mainWindowMeanwhile = false;
    QSize introductionSize;
    QTimer person;
    person.setInterval(50);
    QObject::connect(&person, &QTimer::timeout, [&] {
        if (!introduction.isRunningModal() || steps.isEmpty())
            return;
        KivIntroduction::IntroductionWindowController &window = introduction.windowController();
        sawIntroduction = sawIntroduction || window.isVisible();
        introductionSize = window.QWidget::size();
        mainWindowMeanwhile = mainWindowMeanwhile || app.mainWindow().isVisible();
        for (QPushButton *button : window.findChildren<QPushButton *>(steps.first())) {
            if (button->isVisible() && button->isEnabled()) {
                steps.removeFirst();
                button->click();
                return;
            }
        }
    });
    person.start();
    ASSERT_TRUE(waitFor([&] { return app.mainWindow().isVisible(); }, 60s)) << steps.join(", ").toStdString();
    person.stop();
    EXPECT_TRUE(sawIntroduction);
    EXPECT_FALSE(mainWindowMeanwhile);
    EXPECT_EQ(introductionSize, QSize(1000, 600));
    EXPECT_TRUE(steps.isEmpty());
    EXPECT_FALSE(introduction.isRunningModal());
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    EXPECT_EQ(defaults.value(QStringLiteral("didShowIntroduction")), QVariant(true));
    EXPECT_EQ(defaults.value(QStringLiteral("didAcceptLicense")), QVariant(true));
    // A fresh installation never shows the release notes of its own version.
    EXPECT_EQ(defaults.value(QStringLiteral("WhatsNew-DidDisplay-2.4.0")), QVariant(true));
    ASSERT_TRUE(defaults.synchronize());

    // The real program, started in a copy of this home, paints its main window at once.
    QTemporaryDir second;
    const QString preferences = QStringLiteral("Library/Preferences");
    QDir().mkpath(QDir(second.path()).filePath(preferences));
    for (const QFileInfo &file : QDir(home.filePath(preferences)).entryInfoList(QDir::Files))
        ASSERT_TRUE(
            QFile::copy(file.filePath(), QDir(second.path()).filePath(preferences + "/" + file.fileName())));
    const TestSupport::ProcessRun run = startProgram({}, second.path());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("first-paint")) << run.out.toStdString();
}

} // namespace
