#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QWidget;

namespace KivUtilities {

// Point tests in global screen coordinates. A rectangle contains a point when the point lies on its
// left or top edge or inside it (the right and bottom edges belong to the neighbour).
bool rectContainsPoint(const QRectF &rect, const QPointF &point);

// Both the horizontal and the vertical distance are at most the tolerance.
bool isNear(const QPointF &point, const QPointF &other, double tolerance);

// Whether the point lies within 50 points of a corner of a screen, horizontally and vertically.
bool isPointNearScreenCorner(const QPointF &point);
bool isPointNearScreenCorner(const QPointF &point, const QList<QRectF> &screenFrames);

// Whether any top-level window of the application has an identifier (object name) that begins with
// the prefix; an empty prefix matches any window.
bool hasWindow(const QString &identifierPrefix);

// Whether the point lies in the frame, grown by one point on every side, of a visible top-level
// window of the application.
bool isPointOverVisibleWindow(const QPointF &point);

// True when the window is visible and its frame contains the point.
bool containsPoint(const QWidget *window, const QPointF &point);

} // namespace KivUtilities
