#include "Tapestrel/background/ColorWell.h"

#include <QColorDialog>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

ColorWell::ColorWell(const QColor &color, QWidget *parent)
    : QPushButton(parent)
    , m_color(color)
{
    setObjectName(QStringLiteral("ColorWell"));
    setAccessibleName(tr("Color"));
    setFixedSize(sizeHint());
    // Return belongs to the sheet's confirm button.
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &ColorWell::choose);
}

void ColorWell::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void ColorWell::choose()
{
    const QPointer<ColorWell> self(this);
    const QColor chosen = QColorDialog::getColor(m_color, this, tr("Color"), QColorDialog::ShowAlphaChannel);
    if (!self || !chosen.isValid())
        return;
    setColor(chosen);
    emit colorPicked(chosen);
}

void ColorWell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outer;
    outer.addRoundedRect(frame, 5, 5);
    painter.fillPath(outer, palette().color(isDown() ? QPalette::Mid : QPalette::Button));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawPath(outer);
    const QRectF swatch = frame.adjusted(4, 4, -4, -4);
    QPainterPath inner;
    inner.addRoundedRect(swatch, 3, 3);
    // A checkerboard under a translucent colour shows its opacity.
    if (m_color.alpha() < 255) {
        painter.save();
        painter.setClipPath(inner);
        for (int x = 0; x < swatch.width(); x += 5) {
            for (int y = 0; y < swatch.height(); y += 5) {
                if ((x / 5 + y / 5) % 2)
                    painter.fillRect(QRectF(swatch.left() + x, swatch.top() + y, 5, 5), Qt::lightGray);
            }
        }
        painter.restore();
    }
    painter.fillPath(inner, m_color);
}
