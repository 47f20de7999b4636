#include "Tapestrel/background/AddBackgroundButton.h"

#include "KivUtilities/Symbols.h"

#include <QPainter>
#include <QPainterPath>

AddImageLabel::AddImageLabel(QWidget *parent)
    : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("AddImageLabel"));
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setProperty(KivUtilities::Symbols::propertyName, QStringLiteral("plus"));
    setAccessibleName(tr("Add"));
}

void AddImageLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(area, 13, 13);
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    painter.fillPath(shape,
                     isDown() ? (dark ? QColor(255, 255, 255, 50) : QColor(0, 0, 0, 40))
                              : (dark ? QColor(255, 255, 255, 22) : QColor(0, 0, 0, 14)));
    painter.setPen(QPen(dark ? QColor(255, 255, 255, 70) : QColor(255, 255, 255, 160), 1));
    painter.drawPath(shape);
    // The plus, drawn in the text colour so that it reads on either palette.
    const QPointF centre = area.center();
    const double arm = 9;
    painter.setPen(QPen(palette().color(QPalette::WindowText), 2.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
    painter.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
}

AddBackgroundButton::AddBackgroundButton(std::function<void()> action, QWidget *parent)
    : AddImageLabel(parent)
{
    setObjectName(QStringLiteral("AddBackgroundButton"));
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}
