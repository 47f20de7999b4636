#include "Tapestrel/background/ImageBackgroundView.h"

#include "KivDesktopBackground/PictureOrigin.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/PlainToolTip.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/background/ImageCache.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

using KivDesktopBackground::Background;

ImageBackgroundView::ImageBackgroundView(double imageWidth, QWidget *parent)
    : QWidget(parent)
    , m_imageWidth(imageWidth)
    , m_missingMark(new QLabel(this))
{
    setObjectName(QStringLiteral("ImageBackgroundView"));
    m_missingMark->setObjectName(QStringLiteral("missingImageMark"));
    m_missingMark->setAlignment(Qt::AlignCenter);
    KivUtilities::Symbols::apply(m_missingMark, QStringLiteral("photo.badge.exclamationmark"), 18);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_missingMark, 0, Qt::AlignCenter);
    refreshMissingMark();
}

void ImageBackgroundView::setBackground(const std::optional<Background> &background)
{
    if (background == m_background)
        return;
    m_background = background;
    // The old picture must not stay on screen for the new value, not even while it loads.
    m_loadedImage.reset();
    m_unreadable = false;
    ++m_generation;
    refreshMissingMark();
    update();
    if (isVisible())
        startLoad();
}

bool ImageBackgroundView::isShowingMissingMark() const
{
    return !m_missingMark->isHidden();
}

void ImageBackgroundView::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    update();
}

void ImageBackgroundView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    startLoad();
}

void ImageBackgroundView::startLoad()
{
    KivUtilities::detached(load(++m_generation, m_background), "ImageBackgroundView load");
}

QCoro::Task<void> ImageBackgroundView::load(quint64 generation, std::optional<Background> background)
{
    QPointer<ImageBackgroundView> self(this);
    std::optional<QImage> image;
    if (background && background->kind() == Background::Kind::image) {
        const double width = m_imageWidth;
        image = co_await ImageCache::shared().thumbnail(background->url(), width);
    }
    // A view that went away, or whose value changed meanwhile, ignores this result.
    if (!self || self->m_generation != generation)
        co_return;
    const bool isImage = background && background->kind() == Background::Kind::image;
    if (image)
        self->m_loadedImage = std::move(image);
    else if (!isImage)
        self->m_loadedImage.reset();
    self->m_unreadable = isImage && !self->m_loadedImage;
    self->refreshMissingMark();
    self->update();
    emit self->loadFinished();
}

void ImageBackgroundView::refreshMissingMark()
{
    bool missing = !m_loadedImage.has_value();
    QString tip;
    if (missing && m_background && m_background->kind() == Background::Kind::image) {
        const QUrl url = m_background->url();
        const QString path = url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
        if (!url.isLocalFile() || !QFileInfo::exists(path))
            tip = tr("Image not found at: ") + path;
        else if (m_unreadable)
            tip = tr("The image cannot be read: ") + KivDesktopBackground::PictureOrigin::nameOf(path);
        else
            missing = false; // still loading
    } else if (missing) {
        tip = tr("Image not found at: ");
    }
    m_missingMark->setToolTip(KivUtilities::plainToolTip(tip));
    m_missingMark->setHidden(!missing);
}

void ImageBackgroundView::paintEvent(QPaintEvent *)
{
    if (!m_loadedImage)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_cornerRadius > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
        painter.setClipPath(clip);
    }
    // Stretched over the view, as the callers frame it to the picture's shape.
    painter.drawImage(QRectF(rect()), *m_loadedImage);
}
