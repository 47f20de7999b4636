#pragma once

#include "KivDesktopBackground/Background.h"

#include <QImage>
#include <QWidget>

#include <QCoro/QCoroTask>

#include <optional>

class QLabel;

// Draws an image background from a thumbnail that is loaded off the GUI thread through
// ImageCache::shared(), stretched over the whole view. While the thumbnail loads nothing is drawn.
// When the file is missing (and no thumbnail of it is at hand) the view shows the
// "photo.badge.exclamationmark" symbol with the tooltip "Image not found at: <path>"; when it exists
// but cannot be drawn (unreadable, or a format this Qt has no reader for) the same symbol once its
// load has failed, with the tooltip "The image cannot be read: <path>".
//
// A load starts whenever the view is shown and whenever its background changes. A new background
// drops the old thumbnail at once and only the newest load may deliver: a reused view never shows
// the picture of the value it had before.
class ImageBackgroundView : public QWidget
{
    Q_OBJECT

public:
    explicit ImageBackgroundView(double imageWidth, QWidget *parent = nullptr);

    std::optional<KivDesktopBackground::Background> background() const { return m_background; }
    void setBackground(const std::optional<KivDesktopBackground::Background> &background);

    // The width in points of the thumbnail to load.
    double imageWidth() const { return m_imageWidth; }
    std::optional<QImage> loadedImage() const { return m_loadedImage; }
    bool isShowingMissingMark() const;
    // The missing-image symbol with its tooltip.
    QLabel *missingMark() const { return m_missingMark; }

    // Rounds the drawn image's corners (the preview's frame).
    void setCornerRadius(double radius);

signals:
    // After a load of the current background finished, with or without an image.
    void loadFinished();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void startLoad();
    QCoro::Task<void> load(quint64 generation, std::optional<KivDesktopBackground::Background> background);
    void refreshMissingMark();

    double m_imageWidth;
    std::optional<KivDesktopBackground::Background> m_background;
    std::optional<QImage> m_loadedImage;
    // The current value's load finished without a picture.
    bool m_unreadable = false;
    quint64 m_generation = 0;
    double m_cornerRadius = 0;
    QLabel *m_missingMark;
};
