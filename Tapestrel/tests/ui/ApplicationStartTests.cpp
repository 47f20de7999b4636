#include "KivApp/LaunchAtLogin.h"
#include "KivApp/WindowRoom.h"
#include "KivIntroduction/IntroductionController.h"
#include "KivUtilities/UpdateDetector.h"
#include "KivWhatsNew/WhatsNewController.h"
#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/AppDelegate.h"
#include "Tapestrel/ui/AppInfo.h"
#include "Tapestrel/ui/MainMenuCommands.h"
#include "Tapestrel/ui/MainWindow.h"
#include "Tapestrel/ui/TapestrelApp.h"
#include "Tapestrel/ui/TapestrelIntroduction.h"
#include "Tapestrel/ui/settings/SettingsView.h"

#include "platform/UserDefaults.h"
#include "testsupport/FakeTrayHost.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunProcess.h"
#include "testsupport/RunTask.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"
#include "testsupport/X11Windows.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

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
    environment.insert("TAPESTREL_HOME", home);
    environment.insert("TAPESTREL_QUIT_AFTER_FIRST_PAINT", "1");
    return TestSupport::runProcess(QDir(QCoreApplication::applicationDirPath()).filePath("tapestrel"),
                                   arguments, environment, 60s, TestSupport::WhileWaiting::serveEvents);
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
    TapestrelApp::configure(*qobject_cast<QApplication *>(QCoreApplication::instance()), "2.4.0");
    Platform::UserDefaults::standard().setValue(Defaults::showDockIconKey, false);
    // The introduction has been shown before (the first start has a test of its own).
    Platform::UserDefaults::standard().setValue("didShowIntroduction", true);

    TapestrelApp app(Tapestrel::storePath(), Tapestrel::shared);
    // A fresh installation: the version it started with is recorded before anything else.
    EXPECT_EQ(Platform::UserDefaults::standard().value("FirstInstalledVersion").toString(), "2.4.0");
    ASSERT_TRUE(app.start({"tapestrel"}));

    // The task-bar presence follows "showDockIcon" from the start.
    ASSERT_NE(app.delegate().dockIconVisibilityController(), nullptr);
    EXPECT_EQ(ApplicationPresentation::application().activationPolicy(),
              Platform::ActivationPolicy::Accessory);

    MainWindow &window = app.mainWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.property("windowId").toString(), MainWindow::windowId);
    EXPECT_EQ(window.size(), MainWindow::defaultSize);
    // Centred in the room its screen offers, with a title bar above it.
    const QRect frame(window.pos(), window.size().grownBy(KivApp::WindowRoom::titleBar));
    EXPECT_LE((frame.center() - KivApp::WindowRoom::of(window.screen()).center()).manhattanLength(), 4);

    // The start-up task brings the shipped profiles in.
    ModelContext *context = app.services().modelContainer().mainContext();
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
    app.activate({"tapestrel", "--show-profile", wanted->uuid()});
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

    // There is no system tray here: the main window's View menu opens the profile switcher.
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    QAction *switcher = nullptr;
    for (QAction *action : window.findChild<MainMenuCommands *>()->menu("View")->actions()) {
        if (action->text() == QLatin1String("Profile Switcher"))
            switcher = action;
    }
    ASSERT_NE(switcher, nullptr);
    EXPECT_EQ(switcher->shortcut(), QKeySequence("Ctrl+Shift+P"));
    auto switcherWindow = [] {
        for (QWidget *shown : QApplication::topLevelWidgets()) {
            if (shown->isVisible() && shown->windowTitle() == QLatin1String("Profile Switcher"))
                return true;
        }
        return false;
    };
    ASSERT_TRUE(waitFor([&] {
        switcher->trigger();
        return switcherWindow();
    }));
}

// After an update from an older version the notes of the newest release, the program's own
// version, show once at start. The version the build is made as, which About and the update check
// compare with too, must be the newest release's: otherwise no release notes are ever due.
TEST_F(ApplicationStartTest, AnUpdateShowsTheNotesOfItsReleaseOnce)
{
    TapestrelApp::configure(*qobject_cast<QApplication *>(QCoreApplication::instance()),
                            AppInfo::buildVersion());
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.setValue("FirstInstalledVersion", "1.0");
    defaults.setValue("didAcceptLicense", true);
    defaults.setValue("didShowIntroduction", true);

    TapestrelApp app(Tapestrel::storePath(), Tapestrel::shared);
    ASSERT_TRUE(app.start({"tapestrel"}));
    KivWhatsNew::WhatsNewController &whatsNew = app.services().whatsNewController();
    ASSERT_TRUE(waitFor([&] { return whatsNew.window() && whatsNew.window()->isVisible(); }));
    const KivWhatsNew::Release shown = whatsNew.window()->view()->release();
    EXPECT_EQ(shown.version, whatsNew.releaseStore().releases.last().version);
    EXPECT_EQ(shown.version.string, AppInfo::version());
    whatsNew.window()->view()->findChild<QPushButton *>("ContinueButton")->click();
    EXPECT_EQ(defaults.value(QStringLiteral("WhatsNew-DidDisplay-") + AppInfo::version()), QVariant(true));
    // The next start finds nothing due.
    KivWhatsNew::ReleaseFinder next(KivUtilities::UpdateDetector::shared(), whatsNew.releaseStore(),
                                    whatsNew.settingsStore());
    EXPECT_FALSE(next.releaseToDisplay());
}

// The real program under a real display.
class X11ProgramTest : public ApplicationStartTest
{
protected:
    void SetUp() override
    {
        if (!TestSupport::X11::available())
            GTEST_SKIP() << "needs the xcb platform";
        ApplicationStartTest::SetUp();
    }
};

// The first start: a person walks through its introduction with clicks, and a window manager
// closes it.
class X11FirstStartTest : public X11ProgramTest
{
protected:
    // Where the buttons of each page are ("<page id>/<button name>"): the same introduction, laid
    // out in this process without being shown on the screen.
    static QHash<QString, QPoint> buttonPlaces()
    {
        const auto replica = TapestrelIntroduction::makeController(QSystemTrayIcon::isSystemTrayAvailable());
        KivIntroduction::IntroductionWindowController &window = replica->windowController();
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
        KivIntroduction::IntroductionModel &model = window.view()->model();
        QHash<QString, QPoint> places;
        for (int page = 0; page < 5; ++page) {
            if (page == 0) {
                EXPECT_TRUE(
                    waitFor([&] { return window.view()->currentPageView()->property("state") == 2; }));
            }
            TestSupport::spinEventLoop(300ms); // the page has slid in
            for (QPushButton *button : window.findChildren<QPushButton *>()) {
                if (button->isVisible())
                    places.insert(model.currentPage()->id() + u'/' + button->objectName(),
                                  button->mapTo(&window, button->rect().center()));
            }
            model.next();
        }
        window.close();
        return places;
    }
};

// The real program, started in the test's home on its display (and on the session bus at
// `busAddress`, when one is given).
class ProgramOnScreen
{
public:
    explicit ProgramOnScreen(const QString &home, const QStringList &arguments = {},
                             const QString &busAddress = {})
    {
        m_environment.insert("TAPESTREL_HOME", home);
        if (!busAddress.isEmpty())
            m_environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        m_process.setProcessEnvironment(m_environment);
        TestSupport::X11::sync(); // past the end of the program before
        m_process.start(program(), arguments);
        m_process.waitForStarted(10000);
    }
    ~ProgramOnScreen()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    // The program's viewable window that the condition picks, once there is one; 0 after the time-out
    // or once the program has ended.
    TestSupport::X11::Window window(const std::function<bool(TestSupport::X11::Window)> &which,
                                    std::chrono::milliseconds timeout = 60s)
    {
        TestSupport::X11::Window found = 0;
        waitFor(
            [&] {
                for (const TestSupport::X11::Window candidate : windows()) {
                    if (which(candidate))
                        found = candidate;
                }
                return found != 0 || m_process.state() == QProcess::NotRunning;
            },
            timeout);
        return found;
    }
    TestSupport::X11::Window introduction()
    {
        return window([](TestSupport::X11::Window w) {
            return TestSupport::X11::geometry(w).size() == QSize(1000, 600);
        });
    }
    TestSupport::X11::Window mainWindow()
    {
        return window([](TestSupport::X11::Window w) {
            return TestSupport::X11::geometry(w).size() == MainWindow::defaultSize;
        });
    }
    QList<TestSupport::X11::Window> windows() const
    {
        return TestSupport::X11::windowsOf(m_process.processId());
    }

    // Waits for the program to end; its exit code, or -1 when it is still running or crashed.
    int waitForExit(std::chrono::milliseconds timeout = 30s)
    {
        waitFor([&] { return m_process.state() == QProcess::NotRunning; }, timeout);
        if (m_process.state() != QProcess::NotRunning || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 processId() const { return m_process.processId(); }

    // The program's command line, beside the running program.
    TestSupport::ProcessRun command(const QStringList &arguments) const
    {
        return TestSupport::runProcess(program(), arguments, m_environment);
    }

private:
    static QString program() { return QDir(QCoreApplication::applicationDirPath()).filePath("tapestrel"); }

    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QProcess m_process;
};

// A click on a button of the page on screen, once the window has settled (its animations have
// ended); a click that came before the button could take it is repeated. True once the window's
// picture has changed (the next page slid in, or the window closed).
bool press(TestSupport::X11::Window window, QPoint at)
{
    const QImage before = TestSupport::X11::settled(window);
    if (before.isNull())
        return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        TestSupport::X11::click(window, at);
        if (waitFor([&] { return TestSupport::X11::grab(window) != before; }, 3s))
            return true;
    }
    return false;
}

TEST_F(X11FirstStartTest, APersonWalksThroughTheIntroductionIntoTheMainWindow)
{
    ProgramOnScreen program(home.path());
    const QHash<QString, QPoint> places = buttonPlaces();
    const TestSupport::X11::Window introduction = program.introduction();
    ASSERT_NE(introduction, 0u) << program.errors().toStdString();
    // Only the introduction is on screen, centred and named after the program in a task bar; the
    // desktop entry's StartupWMClass matches its class.
    EXPECT_EQ(program.windows(), QList<TestSupport::X11::Window>({introduction}));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((TestSupport::X11::geometry(introduction).center() - screen.center()).manhattanLength(), 4);
    EXPECT_EQ(TestSupport::X11::title(introduction), "Tapestrel");
    EXPECT_EQ(TestSupport::X11::wmClass(introduction), QByteArrayList({"tapestrel", "Tapestrel"}));

    // Continue, Accept, Continue, Continue, Finish, as a person clicks them.
    for (const char *step : {"start/ContinueButton", "license/AcceptButton", "intro-editor/ContinueButton",
                             "intro-picker/ContinueButton"}) {
        ASSERT_TRUE(places.contains(step)) << step;
        ASSERT_TRUE(press(introduction, places.value(step))) << step;
    }
    ASSERT_TRUE(places.contains("end/FinishButton"));
    TestSupport::saveScreenshot(TestSupport::X11::settled(introduction), "introduction/program-last-page");
    ASSERT_TRUE(press(introduction, places.value("end/FinishButton")));

    // The main window follows within seconds (a test that waited longer would meet the suite's time
    // limit instead of saying what went wrong), and the program goes on.
    const TestSupport::X11::Window main =
        program.window([&](TestSupport::X11::Window w) { return w != introduction; }, 15s);
    ASSERT_NE(main, 0u) << (program.isRunning() ? "no main window followed Finish: " : "the program ended: ")
                        << program.errors().toStdString();
    EXPECT_EQ(TestSupport::X11::geometry(main).size(), MainWindow::defaultSize);
    EXPECT_EQ(TestSupport::X11::wmClass(main), QByteArrayList({"tapestrel", "Tapestrel"}));
    TestSupport::saveScreenshot(TestSupport::X11::settled(main), "introduction/program-main-window-after");
    EXPECT_EQ(program.windows(), QList<TestSupport::X11::Window>({main}));
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    EXPECT_EQ(defaults.value("didShowIntroduction"), QVariant(true));
    EXPECT_EQ(defaults.value("didAcceptLicense"), QVariant(true));
    // A fresh installation never shows the release notes of its own version.
    EXPECT_EQ(defaults.value(QStringLiteral("WhatsNew-DidDisplay-") + AppInfo::buildVersion()),
              QVariant(true));
    TestSupport::X11::requestClose(main);
    program.waitForExit();

    // A later start paints its main window at once.
    const TestSupport::ProcessRun run = startProgram({}, home.path());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("first-paint")) << run.out.toStdString();
}

TEST_F(X11FirstStartTest, AWindowManagerClosingTheIntroductionAnswersAsItsButtons)
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();

    // Before the licence is answered a close rejects it: the program ends, whether or not it has
    // a task-bar entry.
    defaults.setValue(Defaults::showDockIconKey, false);
    QHash<QString, QPoint> places;
    {
        ProgramOnScreen program(home.path());
        places = buttonPlaces();
        const TestSupport::X11::Window introduction = program.introduction();
        ASSERT_NE(introduction, 0u) << program.errors().toStdString();
        ASSERT_TRUE(press(introduction, places.value("start/ContinueButton")));
        ASSERT_FALSE(TestSupport::X11::settled(introduction).isNull());
        TestSupport::X11::requestClose(introduction);
        bool otherWindow = false;
        waitFor([&] {
            otherWindow = otherWindow || program.windows().size() > 1;
            return program.windows().isEmpty();
        });
        EXPECT_EQ(program.waitForExit(), 0) << program.errors().toStdString();
        EXPECT_FALSE(otherWindow);
        EXPECT_EQ(defaults.value("didAcceptLicense"), QVariant(false));
        EXPECT_FALSE(defaults.persistentValue("didShowIntroduction").isValid());
    }

    // After it, a close finishes the introduction and the main window follows, also where closing
    // the last window ends the program.
    defaults.remove(Defaults::showDockIconKey);
    ProgramOnScreen program(home.path());
    const TestSupport::X11::Window introduction = program.introduction();
    ASSERT_NE(introduction, 0u) << program.errors().toStdString();
    ASSERT_TRUE(press(introduction, places.value("start/ContinueButton")));
    ASSERT_TRUE(press(introduction, places.value("license/AcceptButton")));
    ASSERT_FALSE(TestSupport::X11::settled(introduction).isNull());
    TestSupport::X11::requestClose(introduction);
    const TestSupport::X11::Window main =
        program.window([&](TestSupport::X11::Window w) { return w != introduction; });
    ASSERT_NE(main, 0u) << "the program ended: " << program.errors().toStdString();
    EXPECT_EQ(defaults.value("didShowIntroduction"), QVariant(true));
    EXPECT_EQ(defaults.value("didAcceptLicense"), QVariant(true));
    TestSupport::X11::requestClose(main);
    program.waitForExit();
}

// A tray host on the program's bus; the program ends only where nothing else shows it. It goes on
// running without its main window otherwise: it answers commands, and a start brings the window back.
// Started at login it opens no window: the login entry says so, also one that an earlier version wrote
// and a start of the program brought up to date. A tray host that starts after the program, or
// restarts, shows its icon.
TEST_F(X11ProgramTest, ClosingTheMainWindowEndsTheProgramOnlyWhereNothingElseShowsIt)
{
    TestSupport::PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    // A program that a command started in place of the one that should have answered.
    bus.killOwnersAtEnd({AutomationService::serviceName});
    auto tray = std::make_unique<TestSupport::FakeTrayHost>();
    ASSERT_TRUE(tray->start(bus.address()));
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.setValue("didShowIntroduction", true);
    defaults.setValue("didAcceptLicense", true);
    defaults.setValue("FirstInstalledVersion", AppInfo::buildVersion());
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath("tapestrel");
    QGuiApplication::setDesktopFileName(AppInfo::bundleIdentifier); // the entry's name, as the program's
    KivApp::LaunchAtLogin earlierEntry(KivApp::LaunchAtLogin::defaultFolder(), program);
    ASSERT_TRUE(earlierEntry.setEnabled(true));

    struct Case
    {
        const char *name;
        bool atLogin;
        bool trayIcon;
        bool trayHostLater;
        bool quits;
    };
    for (const Case &test : {Case {"tray icon on", false, true, false, false},
                             Case {"started at login", true, false, false, false},
                             Case {"tray host after the program", false, true, true, false},
                             Case {"nothing else shows it", false, false, false, true}}) {
        SCOPED_TRACE(test.name);
        defaults.setValue(Defaults::showMenuBarIconKey, test.trayIcon);
        ASSERT_TRUE(defaults.synchronize());
        if (test.trayHostLater)
            tray.reset();
        QStringList arguments;
        if (test.atLogin) {
            QFile entry(earlierEntry.entryPath());
            ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
            const QString exec =
                QString::fromUtf8(entry.readAll()).section("\nExec=", 1).section(u'\n', 0, 0);
            arguments = QProcess::splitCommand(exec);
            ASSERT_FALSE(arguments.isEmpty());
            EXPECT_EQ(arguments.takeFirst(), program);
        }
        const qsizetype trayIcons = tray ? tray->registeredItems().size() : 0;
        ProgramOnScreen started(home.path(), arguments, bus.address());
        const auto answersAsItself = [&] {
            return bus.ownerPid(AutomationService::serviceName) == started.processId();
        };
        if (test.atLogin) {
            ASSERT_TRUE(waitFor(answersAsItself, 60s)) << started.errors().toStdString();
            TestSupport::X11::sync();
            EXPECT_TRUE(started.windows().isEmpty());
            EXPECT_EQ(started.command({}).exitCode, 0);
        }
        const TestSupport::X11::Window main = started.mainWindow();
        ASSERT_NE(main, 0u) << started.errors().toStdString();
        if (test.trayHostLater) {
            // Once the window is drawn the program has set up its tray icon, or found no tray for it.
            ASSERT_FALSE(TestSupport::X11::settled(main).isNull());
            // Twice: the first tray host, then one that restarts.
            for (int host = 0; host < 2; ++host) {
                tray = std::make_unique<TestSupport::FakeTrayHost>();
                ASSERT_TRUE(tray->start(bus.address()));
                ASSERT_TRUE(waitFor([&] { return !tray->registeredItems().isEmpty(); })) << host;
            }
        } else if (test.trayIcon) {
            ASSERT_TRUE(waitFor([&] { return tray->registeredItems().size() > trayIcons; }));
        }

        TestSupport::X11::requestClose(main);
        ASSERT_TRUE(waitFor([&] { return started.windows().isEmpty(); }));
        if (test.quits) {
            EXPECT_EQ(started.waitForExit(), 0) << started.errors().toStdString();
            continue;
        }
        const TestSupport::ProcessRun listed = started.command({"list"});
        EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
        EXPECT_TRUE(listed.out.contains("Daybreak")) << listed.out.toStdString();
        EXPECT_TRUE(started.isRunning());
        EXPECT_TRUE(answersAsItself());
        EXPECT_EQ(started.command({}).exitCode, 0);
        EXPECT_NE(started.mainWindow(), 0u);
    }
}

// Used as a person does in the first minutes, the program writes nothing on standard error.
TEST_F(X11ProgramTest, CreatingAProfileAndQuittingPrintNothing)
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.setValue("didShowIntroduction", true);
    defaults.setValue("didAcceptLicense", true);
    defaults.setValue("FirstInstalledVersion", AppInfo::buildVersion());
    ASSERT_TRUE(defaults.synchronize());
    // Qt itself complains on standard error without a runtime folder; a desktop session has one.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const TestSupport::ScopedVariable runtimeFolder("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    ProgramOnScreen program(home.path());
    const TestSupport::X11::Window main = program.mainWindow();
    ASSERT_NE(main, 0u) << program.errors().toStdString();

    // A profile made from the current settings reads many values that have none here.
    const TestSupport::ProcessRun created = program.command({"create", "Fresh"});
    EXPECT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_EQ(created.err, "");
    TestSupport::X11::requestClose(main);
    EXPECT_EQ(program.waitForExit(), 0);
    EXPECT_EQ(program.errors(), "");
}

} // namespace
