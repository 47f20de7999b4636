#pragma once

#include <QColor>
#include <QLabel>
#include <QPointer>

// A short text on a rounded patch of colour, as used for status badges.
class ColorLabel : public QLabel
{
    Q_OBJECT

public:
    ColorLabel(const QString &text, const QColor &color, QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    // The patch behind the text: the colour faintly over the window colour.
    static QColor patchColor(const QColor &color, const QColor &window);
    // The text's colour: the colour itself, darkened on a light window or lightened on a dark one as
    // far as needed for a contrast of 4.5:1 with its patch.
    static QColor textColor(const QColor &color, const QColor &window);
    // The contrast ratio of two colours, 1 to 21.
    static double contrast(const QColor &a, const QColor &b);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void restyle();
    void followParent();

    QPointer<QWidget> m_followed;
    QColor m_color;
};
