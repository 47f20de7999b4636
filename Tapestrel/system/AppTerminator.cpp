#include "Tapestrel/system/AppTerminator.h"

#include "Tapestrel/model/ProfileOperationQueue.h"

#include "platform/Alerts.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <QtConcurrent>

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTimer>

#include <exception>

namespace {

constexpr std::chrono::milliseconds exitPollInterval {50};

bool isRunning(qint64 processIdentifier)
{
    for (const Platform::RunningApplication &application :
         Platform::Workspace::shared().runningApplications()) {
        if (application.processIdentifier == processIdentifier && !application.terminated)
            return true;
    }
    return false;
}

// A pause of the coroutine, without blocking the thread; exact to the millisecond.
QCoro::Task<void> pause(std::chrono::milliseconds duration)
{
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(duration);
    co_await timer;
}

// What the work threw, kept until the application runs again: the caller's work must not stop the
// application from being opened again.
std::exception_ptr runWorkNow(const AppTerminator::Work &work)
{
    if (!work)
        return nullptr;
    try {
        work();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

// The work writes another application's files and may wait for that application's save: it runs on
// the thread pool, and the caller resumes on its own thread. What it threw comes back in `failure`.
QCoro::Task<void> runWork(AppTerminator::Work work, std::exception_ptr &failure)
{
    if (work)
        failure = co_await QtConcurrent::run(&runWorkNow, std::move(work));
}

} // namespace

std::optional<Platform::RunningApplication> AppTerminator::runningApplication(const QString &bundleIdentifier)
{
    for (const Platform::RunningApplication &application :
         Platform::Workspace::shared().runningApplications()) {
        if (application.bundleIdentifier == bundleIdentifier && !application.terminated)
            return application;
    }
    return std::nullopt;
}

QString AppTerminator::appName(const Platform::RunningApplication &application)
{
    if (!application.localizedName.isEmpty())
        return application.localizedName;
    const QString executable = QFileInfo(application.executablePath).fileName();
    if (!executable.isEmpty())
        return executable;
    return QStringLiteral("app");
}

QString AppTerminator::suppressionKey(const QString &appName)
{
    return QStringLiteral("relaunchAlertSuppression-") + appName + QStringLiteral(")");
}

QString AppTerminator::skipKey(const QString &appName)
{
    return QStringLiteral("relaunchAlertSkip-") + appName + QStringLiteral(")");
}

bool AppTerminator::shouldRelaunch(const Platform::RunningApplication &application, const QString &message)
{
    const QString name = appName(application);
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    if (defaults.boolean(skipKey(name)))
        return false;
    const QVariant remembered = defaults.value(suppressionKey(name));
    if (remembered.isValid() && !Platform::UserDefaults::boolFromValue(remembered))
        return true;
    // Nobody may be there to answer for a script or the schedule: the application keeps running
    // with whatever it has open, and takes the change at its next start.
    if (ProfileOperationQueue::shared().isUnattended())
        return false;
    return askToRelaunch(message, name);
}

bool AppTerminator::askToRelaunch(const QString &message, const QString &appName)
{
    Platform::Alert alert;
    alert.message = message;
    alert.buttons = {
        QCoreApplication::translate("AppTerminator", "Re-launch %1", "Re-launch app confirmation button")
            .arg(appName),
        QCoreApplication::translate("AppTerminator", "Skip", "Re-launch app cancellation button"),
    };
    alert.suppressionTitle =
        QCoreApplication::translate("AppTerminator", "Do not show this message again",
                                    "Re-launch app confirmation - suppression button title");
    alert.defaultButton = 0;
    alert.cancelButton = 1;
    const Platform::AlertResult result = Platform::Alerts::run(alert);
    const bool relaunch = result.button == 0;
    if (result.suppressed) {
        if (relaunch)
            Platform::UserDefaults::standard().setValue(suppressionKey(appName), false);
        else
            Platform::UserDefaults::standard().setValue(skipKey(appName), true);
    }
    return relaunch;
}

QCoro::Task<AppTerminator::Outcome> AppTerminator::relaunchApp(QString bundleIdentifier, QString message,
                                                               Work work)
{
    const std::optional<Platform::RunningApplication> application = runningApplication(bundleIdentifier);
    if (!application) {
        std::exception_ptr failure;
        co_await runWork(work, failure);
        if (failure)
            std::rethrow_exception(failure);
        co_return Outcome::NotRunning;
    }
    const bool relaunch = shouldRelaunch(*application, message);
    QString bundlePath;
    if (relaunch) {
        bundlePath = application->bundlePath;
        Platform::Workspace::shared().forceTerminate(application->processIdentifier);
        // The caller's work changes files the application writes on its way out: let it finish first.
        QElapsedTimer clock;
        clock.start();
        while (isRunning(application->processIdentifier) && clock.elapsed() < exitTimeout.count())
            co_await pause(exitPollInterval);
        if (isRunning(application->processIdentifier))
            co_return Outcome::DidNotExit;
    }
    std::exception_ptr failure;
    co_await runWork(work, failure);
    if (relaunch && !bundlePath.isEmpty()) {
        co_await pause(reopenDelay);
        co_await Platform::Workspace::shared().openApplication(bundlePath);
    }
    if (failure)
        std::rethrow_exception(failure);
    co_return relaunch ? Outcome::Relaunched : Outcome::Skipped;
}
