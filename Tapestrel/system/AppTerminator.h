#pragma once

#include "platform/Workspace.h"

#include <QString>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

// Restarts another application around a change to its settings: asks the user, force-quits the
// running application, lets the caller do its work while it is stopped, and opens it again.
//
// The user's answer can be remembered per application with the alert's "Do not show this message
// again" box: ticked with "Re-launch" the application is relaunched from then on without asking
// ("relaunchAlertSuppression-<name>)" = false); ticked with "Skip" the caller's work runs from then on
// without asking and without any restart ("relaunchAlertSkip-<name>)" = true). A remembered skip
// never turns into a force-quit.
class AppTerminator
{
public:
    using Work = std::function<void()>;

    // How a relaunch went. The work ran in every case but the last.
    enum class Outcome {
        NotRunning, // the application was not running
        Relaunched, // it was quit, the work ran, and it was opened again
        Skipped, // the user kept it running; the work ran while it ran
        DidNotExit, // it was told to quit but still ran after exitTimeout: the work did not run
    };

    static constexpr std::chrono::milliseconds reopenDelay {500};
    static constexpr std::chrono::milliseconds exitTimeout {5000};

    // The work runs exactly once, whatever the user answers, on the thread pool (it may wait for a
    // file, and must not touch widgets); when the application is not running it runs at once and
    // nothing is opened. Only an application that was told to quit and has not
    // exited within exitTimeout keeps the work from running: its own settings, written on its way
    // out, would undo the work. Throws only what the work threw, once the application that was quit
    // has been opened again.
    static QCoro::Task<Outcome> relaunchApp(QString bundleIdentifier, QString message, Work work = {});

    // The first running application, in the workspace's order, with exactly this bundle identifier
    // that has not terminated.
    static std::optional<Platform::RunningApplication> runningApplication(const QString &bundleIdentifier);

    // The name shown and used in the remembered answers: the localised name, else the executable's
    // file name, else "app".
    static QString appName(const Platform::RunningApplication &application);
    static QString suppressionKey(const QString &appName);
    static QString skipKey(const QString &appName);

    // Whether to relaunch: a remembered answer, or the alert's.
    static bool shouldRelaunch(const Platform::RunningApplication &application, const QString &message);
    // Shows the alert and answers whether "Re-launch" was chosen; remembers the answer when the
    // suppression box was ticked.
    static bool askToRelaunch(const QString &message, const QString &appName);
};
