#include "Tapestrel/system/SwatchIcon.h"

#include <QPainter>
#include <QPixmap>

namespace SwatchIcon {

QIcon make(const QColor &color, int extent)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(extent * scale, extent * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(color.darker(130), scale));
        painter.setBrush(color);
        const qreal inset = scale;
        painter.drawEllipse(QRectF(inset, inset, extent * scale - 2 * inset, extent * scale - 2 * inset));
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace SwatchIcon
