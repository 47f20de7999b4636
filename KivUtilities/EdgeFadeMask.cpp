#include "KivUtilities/EdgeFadeMask.h"

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace KivUtilities {

EdgeFadeMask::EdgeFadeMask(double edgeWidth, QObject *parent)
    : QGraphicsEffect(parent)
    , m_edgeWidth(edgeWidth)
{ }

double EdgeFadeMask::innerStop(double width, double edgeWidth)
{
    return std::min(width * 0.5, edgeWidth) / std::max(width, 1.0);
}

EdgeFadeMask *EdgeFadeMask::apply(QWidget *widget, double edgeWidth)
{
    auto *mask = new EdgeFadeMask(edgeWidth, widget);
    widget->setGraphicsEffect(mask);
    return mask;
}

void EdgeFadeMask::draw(QPainter *painter)
{
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    if (source.isNull())
        return;
    QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const double width = image.width() / image.devicePixelRatio();
    const double f = innerStop(width, m_edgeWidth);
    QLinearGradient gradient(0, 0, image.width() / image.devicePixelRatio(), 0);
    gradient.setColorAt(0, Qt::transparent);
    gradient.setColorAt(f, Qt::black);
    gradient.setColorAt(1 - f, Qt::black);
    gradient.setColorAt(1, Qt::transparent);
    {
        QPainter mask(&image);
        mask.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        mask.fillRect(QRectF(0, 0, width, image.height() / image.devicePixelRatio()), gradient);
    }
    painter->drawImage(offset, image);
}

} // namespace KivUtilities
