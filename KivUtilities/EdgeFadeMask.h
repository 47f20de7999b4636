#pragma once

#include <QGraphicsEffect>

namespace KivUtilities {

// Fades a widget out towards its left and right edges over `edgeWidth` points each side, never
// more than half the width per side.
class EdgeFadeMask : public QGraphicsEffect
{
    Q_OBJECT
public:
    explicit EdgeFadeMask(double edgeWidth, QObject *parent = nullptr);

    double edgeWidth() const { return m_edgeWidth; }
    // The inner gradient stop for a width: clear at 0, opaque from f to 1 − f, clear at 1.
    static double innerStop(double width, double edgeWidth);

    // Puts the mask on a widget.
    static EdgeFadeMask *apply(QWidget *widget, double edgeWidth);

protected:
    void draw(QPainter *painter) override;

private:
    double m_edgeWidth;
};

} // namespace KivUtilities
