#pragma once

#include <QToolButton>

namespace KivApp {

// A tool button that opens its menu at a click and draws no arrow for it: its symbol ("⋮", "+") says
// that a menu comes. The style draws it in the palette of the moment, as every control should be
// drawn; a style sheet hiding the arrow would keep the palette it first saw.
class PullDownButton : public QToolButton
{
    Q_OBJECT

public:
    explicit PullDownButton(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace KivApp
