#include "KivDesktopBackground/BackgroundWindow.h"

#include "KivDesktopBackground/BackgroundWindowView.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivDesktopBackground/X11Desktop.h"

#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace KivDesktopBackground {

BackgroundWindow::BackgroundWindow(const ScreenInfo &screen, DesktopBackgroundController *controller)
    : QWidget(nullptr,
              Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint
                  | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint)
{
    setObjectName(QStringLiteral("BackgroundWindow"));
    setWindowTitle(QStringLiteral("Desktop Background"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    // Translucency needs a compositor; without one the window is opaque and simply hidden while
    // the background is clear.
    if (!controller || controller->compositingActive())
        setAttribute(Qt::WA_TranslucentBackground);
    else
        setAttribute(Qt::WA_NoSystemBackground);

    m_hostingView = new BackgroundWindowView(controller, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_hostingView);

    if (screen.screen)
        setScreen(screen.screen);
    setGeometry(screen.geometry);
    X11Desktop::markAsDesktopWindow(this);

    connect(m_hostingView, &BackgroundWindowView::showsSomethingChanged, this,
            &BackgroundWindow::updateShown);
    updateShown(m_hostingView->showsSomething());
}

BackgroundWindow::~BackgroundWindow() = default;

void BackgroundWindow::place(const ScreenInfo &screen)
{
    if (screen.screen && screen.screen != this->screen())
        setScreen(screen.screen);
    setGeometry(screen.geometry);
    update();
}

void BackgroundWindow::orderBack()
{
    if (isVisible())
        lower();
}

void BackgroundWindow::updateShown(bool showsSomething)
{
    if (!showsSomething) {
        hide();
        return;
    }
    if (isVisible())
        return;
    show();
    // A window manager may stack a newly mapped window above others for a moment; send it back
    // once it has settled.
    QTimer::singleShot(sendToBackDelayMs, this, &BackgroundWindow::orderBack);
}

} // namespace KivDesktopBackground
