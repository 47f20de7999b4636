#pragma once

#include "KivDesktopBackground/Background.h"

#include <QAbstractButton>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>

#include "Tapestrel/background/BackgroundSelection.h"
class QMenu;
class QVariantAnimation;

// A selectable tile of a background grid: `size` wide and 9/16 of that high, rounded (radius 13)
// under a glassy rim. A click makes its background the selection (a selected tile stays selected);
// while the selection equals its background a white check mark fades in. A right click opens the
// menu its grid gives it.
class BackgroundTile : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr double cornerRadius = 13;
    static constexpr int markSize = 18;

    BackgroundTile(BackgroundSelection *selection, const KivDesktopBackground::Background &background,
                   double size, QWidget *parent = nullptr);

    const KivDesktopBackground::Background &background() const { return m_background; }
    bool isSelected() const;
    // 0 to 1 while the mark fades; 1 when selected and settled.
    double markOpacity() const { return m_markOpacity; }

    using MenuBuilder = std::function<QMenu *(QWidget *parent)>;
    void setMenuBuilder(MenuBuilder builder) { m_menuBuilder = std::move(builder); }
    // The tile's menu, owned by `parent` (nullptr: by the caller); nothing without a builder.
    QMenu *makeMenu(QWidget *parent = nullptr) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    // Fills the tile's shape (clipped to it where fillsShape()) with the background's own picture.
    virtual void paintSwatch(QPainter &painter, const QRectF &area) = 0;
    // Whether paintSwatch() now covers the tile's shape; what draws less (a mark) is not clipped.
    virtual bool fillsShape() const = 0;
    double tileWidth() const { return m_size; }

private:
    void selectionChanged();
    // The tile's glass body, or its rim, for every tile of its size.
    QPixmap glass(bool rim, bool dark) const;

    QPointer<BackgroundSelection> m_selection;
    KivDesktopBackground::Background m_background;
    double m_size;
    bool m_selected = false;
    double m_markOpacity = 0;
    QVariantAnimation *m_fade = nullptr;
    MenuBuilder m_menuBuilder;
};

// The tile of a colour; any other kind shows only the glass.
class ColorView : public BackgroundTile
{
    Q_OBJECT

public:
    using BackgroundTile::BackgroundTile;

protected:
    void paintSwatch(QPainter &painter, const QRectF &area) override;
    bool fillsShape() const override;
};

// The tile of a gradient; any other kind (and a gradient without stops) shows only the glass.
class GradientView : public BackgroundTile
{
    Q_OBJECT

public:
    using BackgroundTile::BackgroundTile;

protected:
    void paintSwatch(QPainter &painter, const QRectF &area) override;
    bool fillsShape() const override;
};

// The tile of an image: its thumbnail at the tile's width from the shared ImageCache, decoded on the
// previews' threads once the tile has first been painted (tiles scrolled out of sight load nothing).
// The tiles take their turns in the order they asked, as many at once as the previews decode side by
// side; a tile scrolled out of view before its turn gives it up, so the tiles in view come first. A
// missing file shows the missing-image mark with the tooltip "Image not found at: <path>"; a file that
// does not decode shows the same mark once its load has failed.
class BackgroundImageView : public BackgroundTile
{
    Q_OBJECT

public:
    BackgroundImageView(BackgroundSelection *selection, const KivDesktopBackground::Background &background,
                        double size, QWidget *parent = nullptr);

    bool isLoaded() const { return m_thumbnail.has_value(); }
    bool hasFinishedLoading() const { return m_finished; }
    bool isShowingMissingMark() const;

signals:
    void loadFinished();

protected:
    void paintSwatch(QPainter &painter, const QRectF &area) override;
    bool fillsShape() const override;

private:
    void requestLoad();
    static void scheduleLoads();
    static void startLoads();
    static QCoro::Task<void> load(QPointer<BackgroundImageView> self, QUrl url, double width, double scale);
    bool fileExists() const;

    std::optional<QImage> m_thumbnail;
    bool m_loading = false;
    bool m_finished = false;
};
