#include "KivUtilities/ToastView.h"

#include "KivUtilities/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace KivUtilities {

ToastView::ToastView(QWidget *parent)
    : QWidget(parent)
    , m_image(new QLabel(this))
    , m_text(new QLabel(this))
{
    setObjectName(QStringLiteral("ToastView"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row->addWidget(m_image, 0, Qt::AlignVCenter);
    row->addWidget(m_text, 0, Qt::AlignVCenter);
    QFont font = m_text->font();
    font.setWeight(QFont::DemiBold);
    m_text->setFont(font);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setTextFormat(Qt::PlainText);
    m_image->hide();
}

void ToastView::setContent(const LocalizedStringKey &message, const std::optional<QString> &symbol)
{
    m_text->setText(message.resolved());
    const QString name = symbol.value_or(QString());
    const int extent = m_text->fontMetrics().height();
    Symbols::apply(m_image, name, extent);
    // An empty or unknown symbol draws no image.
    const bool hasImage = !m_image->pixmap().isNull();
    m_image->setVisible(hasImage);
    setProperty(Symbols::propertyName, hasImage ? name : QString());
    adjustSize();
}

QString ToastView::text() const
{
    return m_text->text();
}

QString ToastView::symbol() const
{
    return property(Symbols::propertyName).toString();
}

void ToastView::paintEvent(QPaintEvent *)
{
    // The glass: a translucent capsule with a faint light rim.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = shape.height() / 2;
    QPainterPath capsule;
    capsule.addRoundedRect(shape, radius, radius);
    QColor glass = palette().color(QPalette::Base);
    glass.setAlphaF(0.88);
    painter.fillPath(capsule, glass);
    QColor rim = palette().color(QPalette::Mid);
    rim.setAlphaF(0.5);
    painter.setPen(QPen(rim, 1));
    painter.drawPath(capsule);
}

} // namespace KivUtilities
