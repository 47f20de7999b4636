#pragma once

#include "KivDesktopBackground/Background.h"

#include <QColor>
#include <QWidget>

#include <optional>

class ImageBackgroundView;

// The small drawing of a background inside the program's own windows (profile rows, profile
// previews, the background editor). The windows that cover the desktop have a full-size view of
// the same name, KivDesktopBackground::BackgroundView; this one is deliberately the application's
// own global ::BackgroundView, so the two never meet in one scope unless a file asks for both.
//
// It fills its whole area with the "Preview Desktop Background" colour and draws over it the
// colour, the gradient, or (through an ImageBackgroundView) a thumbnail of the image; no value
// shows the colour alone. It sets no size of its own: callers frame it.
class BackgroundView : public QWidget
{
    Q_OBJECT

public:
    // `drawingWidth` is the width in points the background is shown at; image thumbnails are
    // loaded at that width.
    explicit BackgroundView(double drawingWidth, QWidget *parent = nullptr);

    std::optional<KivDesktopBackground::Background> background() const { return m_background; }
    void setBackground(const std::optional<KivDesktopBackground::Background> &background);
    double drawingWidth() const { return m_drawingWidth; }

    // The image view, present while the value is an image.
    ImageBackgroundView *imageView() const;

    // Rounds the corners of everything drawn (used by BackgroundPreview).
    void setCornerRadius(double radius);
    double cornerRadius() const { return m_cornerRadius; }

    // The colour under every background: a neutral desktop grey, darker under a dark palette.
    static QColor previewDesktopBackgroundColor(const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_drawingWidth;
    double m_cornerRadius = 0;
    std::optional<KivDesktopBackground::Background> m_background;
    ImageBackgroundView *m_imageView;
};
