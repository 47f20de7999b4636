#include "AppDelegate.h"

#include "AppInfo.h"

#include "KivApp/ProgramEnd.h"
#include "KivApp/ShowMainWindowHandler.h"
#include "Tapestrel/system/DockIconVisibilityController.h"
#include "platform/Alerts.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

AppDelegate::AppDelegate(BackgroundShown backgroundShown, RunIntroduction runIntroduction,
                         TrayIconShown trayIconShown, QObject *parent)
    : QObject(parent)
    , m_backgroundShown(std::move(backgroundShown))
    , m_runIntroduction(std::move(runIntroduction))
    , m_trayIconShown(std::move(trayIconShown))
{ }

AppDelegate::~AppDelegate()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void AppDelegate::applicationWillFinishLaunching(bool startedWithWindow)
{
    m_startedWithWindow = startedWithWindow;
    // Qt would quit when the last of the program's windows closes, which may be any window: with no
    // main window open, an alert's or a desktop background's. Quitting is left to the cases above.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setQuitLockEnabled(false);
    if (!m_dockIconController)
        m_dockIconController = new DockIconVisibilityController(this);
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
}

bool AppDelegate::applicationDidFinishLaunching()
{
    if (!m_runIntroduction || !m_runIntroduction())
        return false;
    // Queued: when "Reject" has asked the program to quit, the event loop ends first and no main
    // window opens.
    QTimer::singleShot(0, this, [] { KivApp::ShowMainWindowHandler::post(); });
    return true;
}

bool AppDelegate::applicationShouldTerminate(QWidget *parent)
{
    if (m_asking)
        return true;
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    if (defaults.boolean(quitAlertSuppressionKey) || !m_backgroundShown || !m_backgroundShown())
        return true;

    Platform::Alert alert;
    alert.message = tr("Quit %1?").arg(AppInfo::name);
    alert.informativeText =
        tr("The desktop background of the applied profile disappears when %1 quits.").arg(AppInfo::name);
    alert.buttons = {tr("Quit"), tr("Cancel")};
    alert.cancelButton = 1;
    alert.suppressionTitle = tr("Don't ask again");
    m_asking = true;
    const Platform::AlertResult answer = Platform::Alerts::run(alert, parent);
    m_asking = false;
    if (answer.button != 0)
        return false;
    // Only a confirmed quit remembers the box: cancelling never silences the next question.
    if (answer.suppressed)
        defaults.setValue(quitAlertSuppressionKey, true);
    return true;
}

void AppDelegate::watchMainWindow(QWidget *window)
{
    if (m_mainWindow == window)
        return;
    if (m_mainWindow)
        m_mainWindow->removeEventFilter(this);
    m_mainWindow = window;
    if (window)
        window->installEventFilter(this);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_mainWindow && event->type() == QEvent::Close) {
        // Once the close has gone through (it may be refused), from the event loop: the quit may ask.
        // The tray is asked then, since a tray host may have come or gone meanwhile.
        QTimer::singleShot(0, this, [this] {
            if (m_mainWindow && !m_mainWindow->isVisible() && m_startedWithWindow
                && !(m_trayIconShown && m_trayIconShown()))
                QCoreApplication::quit();
        });
    }
    // The session's end goes ahead unasked: nobody may be there to answer.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit
        && KivApp::ProgramEnd::mayAsk(*event)) {
        if (!applicationShouldTerminate(QApplication::activeWindow()))
            return true;
    }
    return QObject::eventFilter(watched, event);
}
