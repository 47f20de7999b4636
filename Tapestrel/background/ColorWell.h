#pragma once

#include <QColor>
#include <QPushButton>

// A swatch button bound to a colour: clicking it opens the platform's colour dialog, with opacity.
class ColorWell : public QPushButton
{
    Q_OBJECT

public:
    explicit ColorWell(const QColor &color, QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    QSize sizeHint() const override { return QSize(44, 24); }

signals:
    // A colour chosen by the user (not by setColor).
    void colorPicked(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void choose();

    QColor m_color;
};
