#include "Tapestrel/background/BackgroundView.h"

#include "Tapestrel/background/ImageBackgroundView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

using KivDesktopBackground::Background;

BackgroundView::BackgroundView(double drawingWidth, QWidget *parent)
    : QWidget(parent)
    , m_drawingWidth(drawingWidth)
    , m_imageView(new ImageBackgroundView(drawingWidth, this))
{
    setObjectName(QStringLiteral("BackgroundView"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_imageView);
    m_imageView->hide();
}

void BackgroundView::setBackground(const std::optional<Background> &background)
{
    if (background == m_background)
        return;
    m_background = background;
    const bool isImage = background && background->kind() == Background::Kind::image;
    // The image view keeps its value only while it is an image, so a later image never starts
    // from an older picture.
    m_imageView->setBackground(isImage ? background : std::nullopt);
    m_imageView->setVisible(isImage);
    update();
}

ImageBackgroundView *BackgroundView::imageView() const
{
    return m_imageView->isHidden() ? nullptr : m_imageView;
}

void BackgroundView::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    m_imageView->setCornerRadius(radius);
    update();
}

QColor BackgroundView::previewDesktopBackgroundColor(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(0x3A, 0x3A, 0x3C)
                                                             : QColor(0xC7, 0xC7, 0xCC);
}

void BackgroundView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF area(rect());
    if (m_cornerRadius > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(area, m_cornerRadius, m_cornerRadius);
        painter.setClipPath(clip);
    }
    painter.fillRect(area, previewDesktopBackgroundColor(palette()));
    if (!m_background)
        return;
    switch (m_background->kind()) {
    case Background::Kind::color:
        painter.fillRect(area, m_background->colorValue());
        break;
    case Background::Kind::linearGradient:
        // A gradient without stops shows nothing (Qt would draw black to white).
        if (const auto *gradient = m_background->gradient(); gradient && !gradient->stops.isEmpty())
            painter.fillRect(area, QBrush(gradient->gradientFor(area)));
        break;
    case Background::Kind::image:
        break; // drawn by the image view on top
    }
}
