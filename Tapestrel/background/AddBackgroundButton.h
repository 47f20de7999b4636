#pragma once

#include <QAbstractButton>

#include <functional>

// The look of every add tile: a "plus" (size 28) on an 80 by 45 glassy rounded tile (radius 13).
class AddImageLabel : public QAbstractButton
{
    Q_OBJECT

public:
    explicit AddImageLabel(QWidget *parent = nullptr);

    QSize sizeHint() const override { return QSize(80, 45); }

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The add tile of the colour and gradient grids: runs its action when clicked.
class AddBackgroundButton : public AddImageLabel
{
    Q_OBJECT

public:
    explicit AddBackgroundButton(std::function<void()> action, QWidget *parent = nullptr);
};
