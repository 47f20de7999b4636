#pragma once

#include "KivDesktopBackground/Background.h"

#include <QImage>
#include <QWidget>

namespace KivDesktopBackground {

// Draws one background over its whole area: a colour fill, a gradient, or an image scaled to fill
// (aspect ratio kept, centred, the overflow cut off). An image is drawn from its picture as decoded
// beforehand (PictureDecoder::covering), never read here: drawing happens on the GUI thread.
class BackgroundView : public QWidget
{
    Q_OBJECT

public:
    explicit BackgroundView(const Background &background, const QImage &picture = {},
                            QWidget *parent = nullptr);

    const Background &background() const { return m_background; }
    // `picture`: the decoded picture of an image background.
    void setBackground(const Background &background, const QImage &picture = {});

    // The picture scaled to cover `pixelSize`, centred and cropped to it; a null image for none.
    static QImage fill(const QImage &picture, const QSize &pixelSize);

    // The background at `pixelSize` device pixels, ready to draw: images aspect-filled from their
    // decoded `picture` (black without one), gradients and colours filled.
    static QImage render(const Background &background, const QImage &picture, const QSize &pixelSize);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Background m_background;
    QImage m_picture;
    QImage m_rendered;
};

} // namespace KivDesktopBackground
