#pragma once

#include <QList>
#include <QPointer>
#include <QSize>
#include <QWidget>

class ProfileMenuButton;
class QScrollArea;

// The switcher's tiles, two a row in the order given, each centred in its cell. Only the tiles in the
// part of the grid that the scroll area shows, and a row above and below it, are shown and placed; the
// others stay hidden until they are scrolled near. A hidden widget costs nothing to move, so a tile
// added before a thousand others moves only the few that are on screen, where a layout moved every one.
class TileGrid : public QWidget
{
    Q_OBJECT

public:
    static constexpr int columns = 2;
    static constexpr int rowSpacing = 12;

    // The grid sits in `scrollArea` (its widget, or inside it) and follows its scrolling.
    explicit TileGrid(QScrollArea *scrollArea, QWidget *parent = nullptr);

    // The tiles in their new order; `namesChanged` when a tile's name may have changed since. New
    // ones become the grid's children; the grid keeps tiles that are left out as they are: their
    // owner hides or deletes them.
    void setTiles(const QList<ProfileMenuButton *> &tiles, bool namesChanged = false);
    const QList<ProfileMenuButton *> &tiles() const { return m_tiles; }
    // Takes the tiles' sizes again (a tile's name changed while it was hidden).
    void updateTileSizes();
    // Where the tile at `index` goes, in the grid's coordinates.
    QRect cellGeometry(qsizetype index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Works out the rows from the tiles' sizes, then places the tiles that are in view.
    void relayout();
    void placeTilesInView();
    // The part of the grid that the scroll area shows.
    QRect areaInView() const;

    QPointer<QScrollArea> m_scrollArea;
    QList<ProfileMenuButton *> m_tiles;
    // Each tile's size hint, in the tiles' order; each row's top and height.
    QList<QSize> m_sizes;
    QList<int> m_rowTops;
    QList<int> m_rowHeights;
    QSize m_hint;
    // The tiles that are shown now, top to bottom, and their places in the order.
    QList<ProfileMenuButton *> m_shown;
    QList<qsizetype> m_shownIndexes;
};
