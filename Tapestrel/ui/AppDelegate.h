#pragma once

#include "Tapestrel/system/DockIconVisibilityController.h"
#include <QObject>

#include <QPointer>

#include <functional>

class QWidget;

// The program's life-cycle hooks: the task-bar presence follows "showDockIcon" from before the
// first window opens; quitting while a desktop background is shown asks first, unless the user said
// not to ask again or the quit is the session's end (see KivApp::ProgramEnd, which says what each way
// of ending asks).
//
// The program quits only when asked: from a menu or a command, when the session ends, or when the
// main window is closed where nothing else shows the program: it was started with that window and
// its tray icon is not on show. Otherwise it goes on running without the window (the schedule, the
// commands, the tray), as before the window first opened. No other window of its own quits it when
// it closes (a desktop background's window, an alert, the switcher), with or without a main window.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    static inline const QString quitAlertSuppressionKey = QStringLiteral("quitAlertSuppression");

    // Tells whether a desktop background is on screen; without it, none is.
    using BackgroundShown = std::function<bool()>;
    // Runs the introduction modally when it is due and tells whether it ran; without it, none is due.
    using RunIntroduction = std::function<bool()>;
    // Tells whether the program's tray icon is on show; without it, none is.
    using TrayIconShown = std::function<bool()>;
    explicit AppDelegate(BackgroundShown backgroundShown = {}, RunIntroduction runIntroduction = {},
                         TrayIconShown trayIconShown = {}, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Before any window is shown. A start without the main window ("--no-window": by the session bus
    // or for a command) never ends when that window, opened later, closes.
    void applicationWillFinishLaunching(bool startedWithWindow = true);
    // Once the event loop runs: the introduction, when it is due, modally; after it the main
    // window is asked for. Returns whether the introduction ran.
    bool applicationDidFinishLaunching();
    // Whether quitting may go ahead now; asks when a background would disappear.
    bool applicationShouldTerminate(QWidget *parent = nullptr);
    // The main window: closing it quits where nothing else shows the program.
    void watchMainWindow(QWidget *window);

    DockIconVisibilityController *dockIconVisibilityController() const { return m_dockIconController; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    BackgroundShown m_backgroundShown;
    RunIntroduction m_runIntroduction;
    TrayIconShown m_trayIconShown;
    QPointer<DockIconVisibilityController> m_dockIconController;
    QPointer<QWidget> m_mainWindow;
    bool m_startedWithWindow = true;
    bool m_asking = false;
};
