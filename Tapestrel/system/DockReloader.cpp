#include "Tapestrel/system/DockReloader.h"

#include "platform/Workspace.h"

#include <QCoro/QCoroTimer>
#include <QElapsedTimer>

DockReloader::DockReloader(std::chrono::milliseconds waitBound)
    : m_waitBound(waitBound)
{ }

QCoro::Task<void> DockReloader::reload()
{
    m_minimizedWindows.clear();
    recordMinimizedWindows();

    Platform::Workspace &workspace = Platform::Workspace::shared();
    const qint64 oldDock = dockProcessIdentifier();
    workspace.killAll(QStringLiteral("Dock"));

    QElapsedTimer waited;
    waited.start();
    while (true) {
        const qint64 dock = dockProcessIdentifier();
        if (dock != 0 && dock != oldDock)
            break;
        if (waited.elapsed() >= m_waitBound.count())
            break;
        co_await QCoro::sleepFor(pollInterval);
    }
    co_await QCoro::sleepFor(settlingPause);
    restoreMinimizedWindows();
}

void DockReloader::recordMinimizedWindows()
{
    const WindowAccessibility &accessibility = WindowAccessibility::current();
    const QList<Platform::RunningApplication> running = Platform::Workspace::shared().runningApplications();
    for (const Platform::RunningApplication &application : running) {
        if (application.activationPolicy != Platform::ActivationPolicy::Regular
            || !application.finishedLaunching || application.terminated)
            continue;
        const auto windows = accessibility.windows(application.processIdentifier);
        if (!windows)
            continue;
        for (const WindowAccessibility::WindowID window : *windows) {
            if (accessibility.isMinimized(application.processIdentifier, window) == true)
                m_minimizedWindows.append({application.processIdentifier, window});
        }
    }
}

void DockReloader::restoreMinimizedWindows()
{
    WindowAccessibility &accessibility = WindowAccessibility::current();
    for (const MinimizedWindow &entry : std::as_const(m_minimizedWindows))
        accessibility.setMinimized(entry.processIdentifier, entry.window, true);
}

qint64 DockReloader::dockProcessIdentifier()
{
    const QList<Platform::RunningApplication> docks =
        Platform::Workspace::shared().runningApplications(Platform::Workspace::dockBundleIdentifier);
    return docks.isEmpty() ? 0 : docks.first().processIdentifier;
}
