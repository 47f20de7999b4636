#include "KivDesktopBackground/BackgroundView.h"

#include "KivDesktopBackground/ImageFile.h"

#include <QImageReader>
#include <QPainter>

#include <cmath>

namespace KivDesktopBackground {

BackgroundView::BackgroundView(const Background &background, QWidget *parent)
    : QWidget(parent)
    , m_background(background)
{
    setObjectName(QStringLiteral("BackgroundView"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BackgroundView::setBackground(const Background &background)
{
    if (background == m_background)
        return;
    m_background = background;
    m_rendered = QImage();
    update();
}

namespace {

// The smallest size with the source's aspect ratio that covers the target.
QSize coveringSize(const QSize &source, const QSize &target)
{
    const double scale =
        std::max(double(target.width()) / source.width(), double(target.height()) / source.height());
    return QSize(std::max(target.width(), int(std::ceil(source.width() * scale - 1e-6))),
                 std::max(target.height(), int(std::ceil(source.height() * scale - 1e-6))));
}

} // namespace

QImage BackgroundView::decodeFilling(const QUrl &url, const QSize &pixelSize)
{
    if (!url.isLocalFile() || pixelSize.isEmpty())
        return {};
    ImageFile file(url.toLocalFile());
    QImageReader &reader = file.reader();
    reader.setAutoTransform(true);
    const QSize source = reader.size();
    const bool rotated = reader.transformation() & QImageIOHandler::TransformationRotate90;
    // Letting the decoder scale down (JPEG does it while decoding) saves most of the work and memory
    // of a large photo; rotated images are scaled afterwards, as the reader scales before rotating.
    if (source.isValid() && !source.isEmpty() && !rotated
        && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize covering = coveringSize(source, pixelSize);
        if (covering.width() < source.width())
            reader.setScaledSize(covering);
    }
    QImage decoded = reader.read();
    if (decoded.isNull() || decoded.width() <= 0 || decoded.height() <= 0)
        return {};
    const QSize covering = coveringSize(decoded.size(), pixelSize);
    if (covering != decoded.size())
        decoded = decoded.scaled(covering, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect centre(
        QPoint((covering.width() - pixelSize.width()) / 2, (covering.height() - pixelSize.height()) / 2),
        pixelSize);
    QImage cropped = decoded.copy(centre);
    return cropped.convertToFormat(cropped.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                             : QImage::Format_RGB32);
}

QImage BackgroundView::render(const Background &background, const QSize &pixelSize)
{
    if (pixelSize.isEmpty())
        return {};
    switch (background.kind()) {
    case Background::Kind::image: {
        QImage image = decodeFilling(background.url(), pixelSize);
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
        m_rendered = render(m_background, pixels);
        m_rendered.setDevicePixelRatio(ratio);
    }
    if (!m_rendered.isNull())
        QPainter(this).drawImage(rect(), m_rendered);
}

} // namespace KivDesktopBackground
