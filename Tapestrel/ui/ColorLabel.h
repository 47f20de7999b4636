#pragma once

#include <QColor>
#include <QLabel>

// A short text on a rounded patch of colour, as used for status badges.
class ColorLabel : public QLabel
{
    Q_OBJECT

public:
    ColorLabel(const QString &text, const QColor &color, QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

private:
    void restyle();

    QColor m_color;
};
