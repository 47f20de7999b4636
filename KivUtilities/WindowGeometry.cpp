#include "KivUtilities/WindowGeometry.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace KivUtilities {

namespace {

constexpr double cornerDistance = 50.0;

QRectF frameOf(const QWidget *window)
{
    return QRectF(window->frameGeometry());
}

} // namespace

bool rectContainsPoint(const QRectF &rect, const QPointF &point)
{
    const QRectF r = rect.normalized();
    return point.x() >= r.left() && point.x() < r.right() && point.y() >= r.top() && point.y() < r.bottom();
}

bool isNear(const QPointF &point, const QPointF &other, double tolerance)
{
    return std::abs(point.x() - other.x()) <= tolerance && std::abs(point.y() - other.y()) <= tolerance;
}

bool isPointNearScreenCorner(const QPointF &point, const QList<QRectF> &screenFrames)
{
    for (const QRectF &frame : screenFrames) {
        for (const QPointF &corner :
             {frame.topLeft(), frame.topRight(), frame.bottomLeft(), frame.bottomRight()}) {
            if (isNear(point, corner, cornerDistance))
                return true;
        }
    }
    return false;
}

bool isPointNearScreenCorner(const QPointF &point)
{
    QList<QRectF> frames;
    for (const QScreen *screen : QGuiApplication::screens())
        frames.append(QRectF(screen->geometry()));
    return isPointNearScreenCorner(point, frames);
}

bool hasWindow(const QString &identifierPrefix)
{
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName().startsWith(identifierPrefix))
            return true;
    }
    return false;
}

bool isPointOverVisibleWindow(const QPointF &point)
{
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && rectContainsPoint(frameOf(window).adjusted(-1, -1, 1, 1), point))
            return true;
    }
    return false;
}

bool containsPoint(const QWidget *window, const QPointF &point)
{
    return window && window->isVisible() && rectContainsPoint(frameOf(window), point);
}

} // namespace KivUtilities
