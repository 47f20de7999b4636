#include "Tapestrel/ui/switcher/TileGrid.h"

#include "Tapestrel/model/Profile.h"
#include "Tapestrel/ui/switcher/ProfileMenuButton.h"

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

TileGrid::TileGrid(QScrollArea *scrollArea, QWidget *parent)
    : QWidget(parent)
    , m_scrollArea(scrollArea)
{
    setObjectName(QStringLiteral("TileGrid"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    if (m_scrollArea) {
        connect(m_scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this,
                &TileGrid::placeTilesInView);
        m_scrollArea->viewport()->installEventFilter(this);
    }
}

void TileGrid::setTiles(const QList<ProfileMenuButton *> &tiles, bool namesChanged)
{
    // Tiles that follow one another as before keep their sizes, so that a tile put among a thousand
    // measures one; after a rename every tile is measured again.
    QList<QSize> sizes;
    sizes.reserve(tiles.size());
    qsizetype next = 0;
    for (ProfileMenuButton *tile : tiles) {
        if (!namesChanged && next < m_tiles.size() && m_tiles[next] == tile) {
            sizes.append(m_sizes[next++]);
            continue;
        }
        if (tile->parentWidget() != this) {
            tile->setParent(this);
            // Hidden on purpose, so that showing the grid does not show every tile.
            tile->hide();
        }
        sizes.append(tile->sizeHint());
    }
    m_tiles = tiles;
    m_sizes = sizes;
    relayout();
}

void TileGrid::updateTileSizes()
{
    m_sizes.resize(m_tiles.size());
    for (qsizetype i = 0; i < m_tiles.size(); ++i)
        m_sizes[i] = m_tiles[i]->sizeHint();
    relayout();
}

void TileGrid::relayout()
{
    const qsizetype rows = (m_tiles.size() + columns - 1) / columns;
    m_rowTops.resize(rows);
    m_rowHeights.resize(rows);
    int top = 0;
    int widest = 0;
    for (qsizetype row = 0; row < rows; ++row) {
        int height = 0;
        for (qsizetype i = row * columns; i < std::min((row + 1) * columns, m_tiles.size()); ++i) {
            height = std::max(height, m_sizes[i].height());
            widest = std::max(widest, m_sizes[i].width());
        }
        m_rowTops[row] = top;
        m_rowHeights[row] = height;
        top += height + rowSpacing;
    }
    const QSize hint(columns * widest, rows > 0 ? top - rowSpacing : 0);
    if (hint != m_hint) {
        m_hint = hint;
        updateGeometry();
    }
    placeTilesInView();
}

QRect TileGrid::cellGeometry(qsizetype index) const
{
    if (index < 0 || index >= m_tiles.size())
        return {};
    const qsizetype row = index / columns;
    const int cellWidth = width() / columns;
    const QSize size = m_sizes[index].boundedTo(QSize(cellWidth, m_rowHeights[row]));
    // Centred in the cell, as a grid layout centres an item it is told to.
    return {int(index % columns) * cellWidth + (cellWidth - size.width()) / 2,
            m_rowTops[row] + (m_rowHeights[row] - size.height()) / 2, size.width(), size.height()};
}

QRect TileGrid::areaInView() const
{
    QWidget *viewport = m_scrollArea ? m_scrollArea->viewport() : nullptr;
    if (!viewport || !viewport->isAncestorOf(this))
        return rect();
    return {mapFrom(viewport, QPoint(0, 0)), viewport->size()};
}

void TileGrid::placeTilesInView()
{
    QList<ProfileMenuButton *> shown;
    QList<qsizetype> indexes;
    if (!m_rowTops.isEmpty()) {
        const QRect area = areaInView();
        // The rows in view and one more on either side, so that the keyboard can move on to a tile
        // that is just out of view (the scroll area then brings it in).
        const auto firstInView = std::upper_bound(m_rowTops.cbegin(), m_rowTops.cend(), area.top()) - 1;
        const auto pastView = std::upper_bound(m_rowTops.cbegin(), m_rowTops.cend(), area.bottom());
        const qsizetype firstRow = std::max<qsizetype>(0, firstInView - m_rowTops.cbegin() - 1);
        const qsizetype lastRow = std::min<qsizetype>(m_rowTops.size() - 1, pastView - m_rowTops.cbegin());
        for (qsizetype i = firstRow * columns; i < std::min((lastRow + 1) * columns, m_tiles.size()); ++i) {
            shown.append(m_tiles[i]);
            indexes.append(i);
        }
    }
    // The tile that has the keyboard stays where it can be seen to have it, wherever the view is.
    if (QWidget *focus = QApplication::focusWidget(); focus && isAncestorOf(focus)) {
        while (focus->parentWidget() != this)
            focus = focus->parentWidget();
        const qsizetype index = m_tiles.indexOf(qobject_cast<ProfileMenuButton *>(focus));
        if (index >= 0 && !indexes.contains(index)) {
            const auto at = std::lower_bound(indexes.begin(), indexes.end(), index) - indexes.begin();
            indexes.insert(at, index);
            shown.insert(at, m_tiles[index]);
        }
    }

    for (ProfileMenuButton *tile : std::as_const(m_shown)) {
        if (!shown.contains(tile))
            tile->hide();
    }
    for (qsizetype k = 0; k < shown.size(); ++k) {
        shown[k]->setGeometry(cellGeometry(indexes[k]));
        if (shown[k]->isHidden())
            shown[k]->show();
    }
    // Tab moves through the tiles as they are ordered on screen, not as they were made.
    for (qsizetype k = 1; k < shown.size(); ++k)
        QWidget::setTabOrder(shown[k - 1]->previewButton(), shown[k]->previewButton());
    m_shown = shown;
    m_shownIndexes = indexes;
}

QSize TileGrid::sizeHint() const
{
    return m_hint;
}

QSize TileGrid::minimumSizeHint() const
{
    return m_hint;
}

bool TileGrid::event(QEvent *event)
{
    // A shown tile's size changed (its name, or its first showing). Hidden tiles tell nobody; their
    // owner asks for updateTileSizes() when their names change.
    if (event->type() == QEvent::LayoutRequest) {
        bool changed = false;
        for (const qsizetype index : std::as_const(m_shownIndexes)) {
            const QSize size = m_tiles[index]->sizeHint();
            changed = changed || size != m_sizes[index];
            m_sizes[index] = size;
        }
        if (changed)
            relayout();
    }
    return QWidget::event(event);
}

bool TileGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && m_scrollArea && watched == m_scrollArea->viewport())
        placeTilesInView();
    return QWidget::eventFilter(watched, event);
}

void TileGrid::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateTileSizes();
}

void TileGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeTilesInView();
}
