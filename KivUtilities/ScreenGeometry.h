#pragma once

#include <QPointF>
#include <QRectF>

class QScreen;
class QWidget;

namespace KivUtilities {

// Window and screen geometry with the origin at the bottom left of the primary screen and y growing
// upwards, the form in which the window-placement rules of this module are written. Qt's own global
// coordinates grow downwards from the top left; the conversion is a reflection about the primary
// screen's bottom edge, so converting twice gives the input back.
class ScreenGeometry
{
public:
    static QRectF fromQt(const QRectF &qtRect);
    static QRectF toQt(const QRectF &rect);
    static QPointF fromQt(const QPointF &qtPoint);
    static QPointF toQt(const QPointF &point);

    // The screen's whole frame and its visible frame (without panels and docks), bottom-left form.
    static QRectF frame(const QScreen *screen);
    static QRectF visibleFrame(const QScreen *screen);
    // A window's frame (its outer geometry), bottom-left form; and the way back.
    static QRectF frame(const QWidget *window);
    static void setFrame(QWidget *window, const QRectF &rect);

    // The screen holding the window that has the keyboard focus, else the primary screen.
    static QScreen *mainScreen();

private:
    static qreal axis();
};

} // namespace KivUtilities
