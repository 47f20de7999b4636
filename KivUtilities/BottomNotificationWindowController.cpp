#include "KivUtilities/BottomNotificationWindowController.h"

#include "KivUtilities/BottomNotificationView.h"
#include "KivUtilities/ScreenGeometry.h"

#include <QPropertyAnimation>
#include <QScreen>

namespace KivUtilities {

BottomNotificationWindowController::BottomNotificationWindowController(BottomNotificationView *view,
                                                                       QObject *parent)
    : QObject(parent)
    , m_window(view)
{
    // A status-level window: no frame, no shadow, never focused, never hit by the mouse, above
    // ordinary windows; closing it disposes of it.
    view->setParent(nullptr);
    view->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                         | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput
                         | Qt::NoDropShadowWindowHint);
    view->setAttribute(Qt::WA_TranslucentBackground);
    view->setAttribute(Qt::WA_ShowWithoutActivating);
    view->setAttribute(Qt::WA_DeleteOnClose);

    if (QScreen *screen = ScreenGeometry::mainScreen()) {
        const QRectF screenFrame = ScreenGeometry::frame(screen);
        const QRectF frame(screenFrame.x() + (screenFrame.width() - size.width()) / 2,
                           screenFrame.y() + yPosition, size.width(), size.height());
        view->setGeometry(ScreenGeometry::toQt(frame).toRect());
    } else {
        view->resize(size.toSize());
    }
}

BottomNotificationWindowController::~BottomNotificationWindowController()
{
    close();
}

void BottomNotificationWindowController::animateOpacity(qreal to, int durationMs,
                                                        const std::function<void()> &finished)
{
    if (!m_window)
        return;
    if (m_animation)
        m_animation->stop();
    auto *animation = new QPropertyAnimation(m_window.data(), "windowOpacity", this);
    animation->setDuration(durationMs);
    animation->setStartValue(m_window->windowOpacity());
    animation->setEndValue(to);
    if (finished)
        connect(animation, &QPropertyAnimation::finished, this, finished);
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void BottomNotificationWindowController::show(const std::function<void()> &completion)
{
    if (m_window) {
        m_window->setWindowOpacity(0);
        m_window->show();
        m_window->raise();
        animateOpacity(1.0, fadeInMs, {});
    }
    if (completion)
        completion();
}

void BottomNotificationWindowController::hide()
{
    animateOpacity(0.0, fadeOutMs, [this] { close(); });
}

void BottomNotificationWindowController::close()
{
    if (m_animation)
        m_animation->stop();
    if (m_window)
        m_window->close();
}

} // namespace KivUtilities
