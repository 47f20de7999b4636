#pragma once

#include "KivDesktopBackground/Background.h"

#include <QWidget>

#include <optional>

class BackgroundView;

// The large preview of the background editor: the background drawn by a BackgroundView with
// rounded corners (radius 26) under a translucent frame, as large as fits at 16:9 but never taller
// than 180, centred horizontally, inside padding of 24 at the top, 20 at the sides and 12 at the
// bottom.
class BackgroundPreview : public QWidget
{
    Q_OBJECT

public:
    static constexpr double cornerRadius = 26;
    static constexpr int maximumPreviewHeight = 180;
    static constexpr int topPadding = 24;
    static constexpr int sidePadding = 20;
    static constexpr int bottomPadding = 12;

    explicit BackgroundPreview(double drawingWidth, QWidget *parent = nullptr);

    std::optional<KivDesktopBackground::Background> background() const;
    void setBackground(const std::optional<KivDesktopBackground::Background> &background);
    BackgroundView *backgroundView() const { return m_view; }

    // Where the background is drawn for a given size of the whole preview.
    static QRect previewRect(const QSize &size);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    BackgroundView *m_view;
};
