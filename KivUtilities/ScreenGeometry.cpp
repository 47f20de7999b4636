#include "KivUtilities/ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace KivUtilities {

qreal ScreenGeometry::axis()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return 0;
    const QRect g = primary->geometry();
    return qreal(g.y()) + qreal(g.height());
}

QRectF ScreenGeometry::fromQt(const QRectF &qtRect)
{
    return QRectF(qtRect.x(), axis() - qtRect.y() - qtRect.height(), qtRect.width(), qtRect.height());
}

QRectF ScreenGeometry::toQt(const QRectF &rect)
{
    // The reflection is its own inverse.
    return fromQt(rect);
}

QPointF ScreenGeometry::fromQt(const QPointF &qtPoint)
{
    return QPointF(qtPoint.x(), axis() - qtPoint.y());
}

QPointF ScreenGeometry::toQt(const QPointF &point)
{
    return fromQt(point);
}

QRectF ScreenGeometry::frame(const QScreen *screen)
{
    return screen ? fromQt(QRectF(screen->geometry())) : QRectF();
}

QRectF ScreenGeometry::visibleFrame(const QScreen *screen)
{
    return screen ? fromQt(QRectF(screen->availableGeometry())) : QRectF();
}

QRectF ScreenGeometry::frame(const QWidget *window)
{
    return window ? fromQt(QRectF(window->frameGeometry())) : QRectF();
}

void ScreenGeometry::setFrame(QWidget *window, const QRectF &rect)
{
    if (!window)
        return;
    const QRectF qt = toQt(rect);
    // The frame includes decorations; place the frame, keep the client size the frame asks for.
    const QMargins decorations(window->geometry().left() - window->frameGeometry().left(),
                               window->geometry().top() - window->frameGeometry().top(),
                               window->frameGeometry().right() - window->geometry().right(),
                               window->frameGeometry().bottom() - window->geometry().bottom());
    const QRect outer = qt.toRect();
    window->setGeometry(outer.marginsRemoved(decorations));
}

QScreen *ScreenGeometry::mainScreen()
{
    if (QWindow *focus = QGuiApplication::focusWindow()) {
        if (QScreen *screen = focus->screen())
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

} // namespace KivUtilities
