#include "KivDesktopBackground/BackgroundView.h"

#include "KivDesktopBackground/PictureProtocol.h"

#include <QPainter>

namespace KivDesktopBackground {

BackgroundView::BackgroundView(const Background &background, const QImage &picture, QWidget *parent)
    : QWidget(parent)
    , m_background(background)
    , m_picture(picture)
{
    setObjectName(QStringLiteral("BackgroundView"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BackgroundView::setBackground(const Background &background, const QImage &picture)
{
    if (background == m_background && picture.cacheKey() == m_picture.cacheKey())
        return;
    m_background = background;
    m_picture = picture;
    m_rendered = QImage();
    update();
}

QImage BackgroundView::fill(const QImage &picture, const QSize &pixelSize)
{
    if (picture.isNull() || pixelSize.isEmpty())
        return {};
    // A picture that could only cover the window at a size past any picture's is not drawn squashed.
    const std::optional<QSize> fitting = PictureProtocol::coveringSize(picture.size(), pixelSize);
    if (!fitting)
        return {};
    const QSize covering = *fitting;
    QImage scaled = picture;
    if (covering != picture.size())
        scaled = picture.scaled(covering, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect centre(
        QPoint((covering.width() - pixelSize.width()) / 2, (covering.height() - pixelSize.height()) / 2),
        pixelSize);
    QImage cropped = scaled.copy(centre);
    return cropped.convertToFormat(cropped.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                             : QImage::Format_RGB32);
}

QImage BackgroundView::render(const Background &background, const QImage &picture, const QSize &pixelSize)
{
    if (pixelSize.isEmpty())
        return {};
    switch (background.kind()) {
    case Background::Kind::image: {
        QImage image = fill(picture, pixelSize);
        if (image.isNull()) {
            image = QImage(pixelSize, QImage::Format_RGB32);
            image.fill(Qt::black);
        }
        return image;
    }
    case Background::Kind::color: {
        QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(background.colorValue());
        return image;
    }
    case Background::Kind::linearGradient: {
        QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        const QRect rect(QPoint(0, 0), pixelSize);
        if (!background.gradient()->stops.isEmpty())
            QPainter(&image).fillRect(rect, background.gradient()->gradientFor(rect));
        return image;
    }
    }
    return {};
}

void BackgroundView::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(qRound(width() * ratio), qRound(height() * ratio));
    if (m_rendered.size() != pixels) {
        m_rendered = render(m_background, m_picture, pixels);
        m_rendered.setDevicePixelRatio(ratio);
    }
    if (!m_rendered.isNull())
        QPainter(this).drawImage(rect(), m_rendered);
}

} // namespace KivDesktopBackground
