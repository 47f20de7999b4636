#include "Tapestrel/background/BackgroundPreview.h"

#include "Tapestrel/background/BackgroundView.h"

#include <QPainter>
#include <QPainterPath>

BackgroundPreview::BackgroundPreview(double drawingWidth, QWidget *parent)
    : QWidget(parent)
    , m_view(new BackgroundView(drawingWidth, this))
{
    setObjectName(QStringLiteral("BackgroundPreview"));
    m_view->setCornerRadius(cornerRadius);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

std::optional<KivDesktopBackground::Background> BackgroundPreview::background() const
{
    return m_view->background();
}

void BackgroundPreview::setBackground(const std::optional<KivDesktopBackground::Background> &background)
{
    m_view->setBackground(background);
}

QRect BackgroundPreview::previewRect(const QSize &size)
{
    const int availableWidth = qMax(0, size.width() - 2 * sidePadding);
    const int availableHeight = qMax(0, size.height() - topPadding - bottomPadding);
    // Fit 16:9 into what is left, capped in height.
    int height = qMin(maximumPreviewHeight, availableHeight);
    height = qMin(height, availableWidth * 9 / 16);
    const int width = height * 16 / 9;
    const int left = sidePadding + (availableWidth - width) / 2;
    const int top = topPadding + (availableHeight - height) / 2;
    return QRect(left, top, width, height);
}

int BackgroundPreview::heightForWidth(int width) const
{
    const int availableWidth = qMax(0, width - 2 * sidePadding);
    return topPadding + qMin(maximumPreviewHeight, availableWidth * 9 / 16) + bottomPadding;
}

QSize BackgroundPreview::sizeHint() const
{
    const int width = maximumPreviewHeight * 16 / 9 + 2 * sidePadding;
    return QSize(width, heightForWidth(width));
}

void BackgroundPreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_view->setGeometry(previewRect(size()));
}

void BackgroundPreview::paintEvent(QPaintEvent *)
{
    // A glass-like frame around the preview: a soft translucent rim and a faint edge line.
    const QRectF frame = QRectF(m_view->geometry()).adjusted(-3, -3, 3, 3);
    if (frame.width() <= 6 || frame.height() <= 6)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath rim;
    rim.addRoundedRect(frame, cornerRadius + 3, cornerRadius + 3);
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    painter.fillPath(rim, dark ? QColor(255, 255, 255, 28) : QColor(0, 0, 0, 22));
    painter.setPen(QPen(dark ? QColor(255, 255, 255, 60) : QColor(255, 255, 255, 150), 1));
    painter.drawPath(rim);
}
