#include "KivApp/PullDownButton.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace KivApp {

PullDownButton::PullDownButton(QWidget *parent)
    : QToolButton(parent)
{
    setPopupMode(QToolButton::InstantPopup);
}

void PullDownButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.features &= ~QStyleOptionToolButton::HasMenu;
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

} // namespace KivApp
