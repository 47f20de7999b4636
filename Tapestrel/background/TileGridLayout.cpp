#include "Tapestrel/background/TileGridLayout.h"

#include <QWidget>

#include <algorithm>

TileGridLayout::TileGridLayout(int maximumColumns, int spacing, QWidget *parent)
    : QLayout(parent)
    , m_maximumColumns(std::max(1, maximumColumns))
    , m_spacing(spacing)
{ }

TileGridLayout::~TileGridLayout()
{
    qDeleteAll(m_items);
}

void TileGridLayout::setWidgets(const QList<QWidget *> &widgets)
{
    QList<QLayoutItem *> kept;
    for (QWidget *widget : widgets) {
        const auto found = std::find_if(m_items.begin(), m_items.end(),
                                        [widget](QLayoutItem *item) { return item->widget() == widget; });
        if (found != m_items.end()) {
            kept.append(*found);
            m_items.erase(found);
        } else {
            addChildWidget(widget);
            kept.append(new QWidgetItem(widget));
        }
    }
    qDeleteAll(m_items);
    m_items = kept;
    invalidate();
}

void TileGridLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
    invalidate();
}

QLayoutItem *TileGridLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *TileGridLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    invalidate();
    return item;
}

int TileGridLayout::count() const
{
    return int(m_items.size());
}

QSize TileGridLayout::cellSize() const
{
    QSize size(0, 0);
    for (const QLayoutItem *item : m_items) {
        if (!item->isEmpty())
            size = size.expandedTo(item->sizeHint());
    }
    return size;
}

int TileGridLayout::visibleCount() const
{
    return int(std::count_if(m_items.cbegin(), m_items.cend(),
                             [](const QLayoutItem *item) { return !item->isEmpty(); }));
}

int TileGridLayout::columnsFor(int width) const
{
    const QMargins margins = contentsMargins();
    const int available = width - margins.left() - margins.right();
    const int cell = std::max(1, cellSize().width());
    return std::clamp((available + m_spacing) / (cell + m_spacing), 1, m_maximumColumns);
}

int TileGridLayout::contentHeight(int columns) const
{
    const int tiles = visibleCount();
    const QMargins margins = contentsMargins();
    if (tiles == 0)
        return margins.top() + margins.bottom();
    const int rows = (tiles + columns - 1) / columns;
    return margins.top() + margins.bottom() + rows * cellSize().height() + (rows - 1) * m_spacing;
}

QSize TileGridLayout::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const int columns = std::max(1, std::min(m_maximumColumns, visibleCount()));
    const int width =
        margins.left() + margins.right() + columns * cellSize().width() + (columns - 1) * m_spacing;
    return QSize(width, contentHeight(columns));
}

QSize TileGridLayout::minimumSize() const
{
    // No more width than one column, and no more height than the grid has at its widest: the height
    // at a given width comes from heightForWidth. Asking for the one-column height here would make a
    // scroll area run on far below the rows that are actually laid out.
    const QMargins margins = contentsMargins();
    return QSize(margins.left() + margins.right() + cellSize().width(), contentHeight(m_maximumColumns));
}

Qt::Orientations TileGridLayout::expandingDirections() const
{
    return Qt::Horizontal;
}

bool TileGridLayout::hasHeightForWidth() const
{
    return true;
}

int TileGridLayout::heightForWidth(int width) const
{
    return contentHeight(columnsFor(width));
}

void TileGridLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int columns = columnsFor(rect.width());
    const QSize cell = cellSize();
    // The columns share the width evenly, as flexible columns do; a tile sits in the middle of its cell.
    const double cellWidth = double(area.width() - (columns - 1) * m_spacing) / columns;
    int index = 0;
    for (QLayoutItem *item : std::as_const(m_items)) {
        if (item->isEmpty())
            continue;
        const int row = index / columns;
        const int column = index % columns;
        const QSize size = item->sizeHint().boundedTo(cell);
        const double left = area.left() + column * (cellWidth + m_spacing) + (cellWidth - size.width()) / 2;
        const int top = area.top() + row * (cell.height() + m_spacing) + (cell.height() - size.height()) / 2;
        item->setGeometry(QRect(QPoint(int(left), top), size));
        ++index;
    }
}
