#pragma once

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

// A photo-like picture: gradients, `shapes` shapes and fine noise, so that a JPEG of it has real detail
// to decode. Each seed gives another.
inline QImage photoLikePicture(QSize size, int seed, int shapes)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 160, 230));
    sky.setColorAt(1, QColor::fromHsv((seed * 37 + 120) % 360, 200, 90));
    painter.fillRect(image.rect(), sky);
    QRandomGenerator random(quint32(seed + 1));
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < shapes; ++i) {
        painter.setBrush(QColor::fromRgb(random.generate()));
        painter.drawEllipse(QPoint(random.bounded(size.width()), random.bounded(size.height())),
                            random.bounded(10, 220), random.bounded(10, 220));
    }
    painter.end();
    for (int y = 0; y < image.height(); y += 3) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] ^= random.bounded(24);
    }
    return image;
}
