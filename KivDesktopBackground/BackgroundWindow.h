#pragma once

#include "KivDesktopBackground/ScreenSource.h"

#include <QWidget>

namespace KivDesktopBackground {

class BackgroundWindowView;
class DesktopBackgroundController;

// A borderless window that covers one screen below every other window: input passes through it,
// it takes no focus, has no task-bar or pager entry and stays on every virtual desktop. Its content
// is a BackgroundWindowView. It is shown only while that view has something to draw, so a clear
// background never hides the desktop behind an empty window.
class BackgroundWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int sendToBackDelayMs = 50;

    BackgroundWindow(const ScreenInfo &screen, DesktopBackgroundController *controller);
    ~BackgroundWindow() override;

    BackgroundWindowView *hostingView() const { return m_hostingView; }

    // Follows the screen to its current frame.
    void place(const ScreenInfo &screen);
    // Orders the window to the back of the windows below others.
    void orderBack();

private:
    void updateShown(bool showsSomething);

    BackgroundWindowView *m_hostingView = nullptr;
};

} // namespace KivDesktopBackground
