#include "KivUtilities/ElidedLabel.h"

#include <QResizeEvent>

namespace KivUtilities {

ElidedLabel::ElidedLabel(const QString &text, Qt::TextElideMode mode, QWidget *parent)
    : QLabel(parent)
    , m_mode(mode)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setFullText(text);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_fullText = text;
    setToolTip(text);
    // Whole until the layout gives the label its width.
    if (testAttribute(Qt::WA_Resized) || isVisible())
        elide();
    else
        setText(text);
}

QSize ElidedLabel::minimumSizeHint() const
{
    // A few characters and the ellipsis; the rest is the layout's to give.
    return {fontMetrics().horizontalAdvance(QStringLiteral("M…M")), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    const int width = contentsRect().width();
    setText(width > 0 ? fontMetrics().elidedText(m_fullText, m_mode, width) : m_fullText);
}

} // namespace KivUtilities
