#pragma once

#include <QWidget>

namespace KivApp {

// A rounded rectangle in the palette's base colour, with a border in its mid colour where asked,
// around one widget (a list, a text) that lies within it `padding` points from its edge. Drawn in the
// palette of the moment: a style sheet drawing it would keep the palette it first saw, for itself and
// for what it holds.
class RoundedFrame : public QWidget
{
    Q_OBJECT

public:
    RoundedFrame(QWidget *content, int radius, int padding, bool bordered, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_radius;
    bool m_bordered;
};

} // namespace KivApp
