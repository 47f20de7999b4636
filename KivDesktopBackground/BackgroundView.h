#pragma once

#include "KivDesktopBackground/Background.h"

#include <QImage>
#include <QWidget>

namespace KivDesktopBackground {

// Draws one background over its whole area: a colour fill, a gradient, or an image scaled to fill
// (aspect ratio kept, centred, the overflow cut off). An image that cannot be read draws black.
class BackgroundView : public QWidget
{
    Q_OBJECT

public:
    explicit BackgroundView(const Background &background, QWidget *parent = nullptr);

    const Background &background() const { return m_background; }
    void setBackground(const Background &background);

    // The image file decoded and scaled to cover `pixelSize`, centred and cropped to it; a null image
    // when the URL is not a readable image file.
    static QImage decodeFilling(const QUrl &url, const QSize &pixelSize);

    // The background at `pixelSize` device pixels, ready to draw: images aspect-filled (black when
    // unreadable), gradients and colours filled.
    static QImage render(const Background &background, const QSize &pixelSize);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Background m_background;
    QImage m_rendered;
};

} // namespace KivDesktopBackground
