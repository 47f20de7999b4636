#pragma once

#include "Tapestrel/system/WindowAccessibility.h"

#include <QCoro/QCoroTask>
#include <QList>

#include <chrono>

// Restarts the Dock so that it picks up changed settings, and minimises again the windows that were
// minimised before: a Dock restart brings every minimised window back.
//
// One reloader serves one restart.
class DockReloader
{
public:
    struct MinimizedWindow
    {
        qint64 processIdentifier = 0;
        WindowAccessibility::WindowID window = 0;

        friend bool operator==(const MinimizedWindow &, const MinimizedWindow &) = default;
    };

    static constexpr std::chrono::milliseconds pollInterval {100};
    static constexpr std::chrono::milliseconds settlingPause {300};
    // How long to wait for the new Dock. When none shows up the windows are minimised again anyway:
    // an apply must never hang on a Dock that could not be stopped or did not come back.
    static constexpr std::chrono::milliseconds defaultWaitBound {5000};

    explicit DockReloader(std::chrono::milliseconds waitBound = defaultWaitBound);

    // Records the minimised windows, stops the Dock, waits for the new one and minimises the windows
    // again. Never throws.
    QCoro::Task<void> reload();

    // The windows of regular, launched applications that are minimised now.
    void recordMinimizedWindows();
    void restoreMinimizedWindows();
    QList<MinimizedWindow> minimizedWindows() const { return m_minimizedWindows; }

private:
    // The process identifier of the running Dock; 0 when none runs.
    static qint64 dockProcessIdentifier();

    std::chrono::milliseconds m_waitBound;
    QList<MinimizedWindow> m_minimizedWindows;
};
