#pragma once

#include <QLayout>
#include <QList>

// A grid of equal tiles that fills its width with as many flexible columns as fit, up to
// `maximumColumns`, each tile centred in its cell. A narrower space gives fewer columns and more
// rows, never a grid wider than the space: a tile is never out of reach sideways. Its height
// follows its width.
class TileGridLayout : public QLayout
{
public:
    TileGridLayout(int maximumColumns, int spacing, QWidget *parent = nullptr);
    ~TileGridLayout() override;

    // Puts exactly these widgets in the grid, in this order (those left out leave it; none is deleted).
    void setWidgets(const QList<QWidget *> &widgets);
    // The columns that a width gives.
    int columnsFor(int width) const;
    int maximumColumns() const { return m_maximumColumns; }

    void addItem(QLayoutItem *item) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;

private:
    // The largest tile, and the number of tiles that show.
    QSize cellSize() const;
    int visibleCount() const;
    int contentHeight(int columns) const;

    QList<QLayoutItem *> m_items;
    int m_maximumColumns;
    int m_spacing;
};
