#include "KivUtilities/BottomNotificationWindowController.h"

#include "KivUtilities/BottomNotificationView.h"
#include "KivUtilities/ScreenGeometry.h"
#include "KivUtilities/WindowTranslucency.h"

#include <QPainterPath>
#include <QRegion>

#include <QScreen>

#include <chrono>
#include <utility>

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
    // Where nothing blends windows, see-through corners would show black: the window is painted
    // opaque and its rounded shape cut with a mask.
    const bool translucent = WindowTranslucency::isAvailable();
    view->setAttribute(Qt::WA_TranslucentBackground, translucent);
    if (!translucent) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(QPointF(), size), BottomNotificationView::cornerRadius,
                             BottomNotificationView::cornerRadius);
        view->setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
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
    m_timeline.cancel(std::exchange(m_animation, 0));
    const qreal from = m_window->windowOpacity();
    m_animation = m_timeline.animate(
        std::chrono::milliseconds(durationMs),
        [this, from, to](double progress) {
            // Where opacity cannot change, the fade keeps only its time: the window shows whole.
            if (m_window && WindowTranslucency::canChangeOpacity())
                m_window->setWindowOpacity(from + (to - from) * progress);
        },
        [this, finished] {
            m_animation = 0;
            if (finished)
                finished();
        });
}

void BottomNotificationWindowController::show(const std::function<void()> &completion)
{
    if (m_window) {
        if (WindowTranslucency::canChangeOpacity())
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
    m_timeline.cancel(std::exchange(m_animation, 0));
    if (m_window)
        m_window->close();
}

} // namespace KivUtilities
