#include "KivApp/RoundedFrame.h"

#include <QPainter>
#include <QVBoxLayout>

namespace KivApp {

RoundedFrame::RoundedFrame(QWidget *content, int radius, int padding, bool bordered, QWidget *parent)
    : QWidget(parent)
    , m_radius(radius)
    , m_bordered(bordered)
{
    auto *layout = new QVBoxLayout(this);
    const int inset = padding + (bordered ? 1 : 0);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->addWidget(content);
}

void RoundedFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(m_bordered ? QPen(palette().color(QPalette::Mid), 1) : QPen(Qt::NoPen));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
}

} // namespace KivApp
