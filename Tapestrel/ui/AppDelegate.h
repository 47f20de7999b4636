#pragma once

#include "Tapestrel/system/DockIconVisibilityController.h"
#include <QObject>

#include <QPointer>

#include <functional>

class QWidget;

// The program's life-cycle hooks: the task-bar presence follows "showDockIcon" from before the
// first window opens; quitting while a desktop background is shown asks first, unless the user said
// not to ask again or the session is ending.
//
// The program quits only when asked: from a menu or a command, when the session ends, or when the
// main window is closed while the program shows its icon in the task bar (without it, the program
// stays in the system tray). No other window of its own quits it when it closes (a desktop
// background's window, an alert, the switcher), with or without a main window.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    static inline const QString quitAlertSuppressionKey = QStringLiteral("quitAlertSuppression");

    // Tells whether a desktop background is on screen; without it, none is.
    using BackgroundShown = std::function<bool()>;
    // Runs the introduction modally when it is due and tells whether it ran; without it, none is due.
    using RunIntroduction = std::function<bool()>;
    explicit AppDelegate(BackgroundShown backgroundShown = {}, RunIntroduction runIntroduction = {},
                         QObject *parent = nullptr);
    ~AppDelegate() override;

    // Before any window is shown.
    void applicationWillFinishLaunching();
    // Once the event loop runs: the introduction, when it is due, modally; after it the main
    // window is asked for. Returns whether the introduction ran.
    bool applicationDidFinishLaunching();
    // Whether quitting may go ahead now; asks when a background would disappear.
    bool applicationShouldTerminate(QWidget *parent = nullptr);
    // The session is ending: quit without asking.
    void sessionWillPowerOff() { m_poweringOff = true; }
    // The main window: closing it quits while the task-bar icon is shown.
    void watchMainWindow(QWidget *window);

    DockIconVisibilityController *dockIconVisibilityController() const { return m_dockIconController; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    BackgroundShown m_backgroundShown;
    RunIntroduction m_runIntroduction;
    QPointer<DockIconVisibilityController> m_dockIconController;
    QPointer<QWidget> m_mainWindow;
    bool m_poweringOff = false;
    bool m_asking = false;
};
