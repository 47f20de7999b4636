#include "ColorLabel.h"

ColorLabel::ColorLabel(const QString &text, const QColor &color, QWidget *parent)
    : QLabel(text, parent)
    , m_color(color)
{
    setObjectName(QStringLiteral("ColorLabel"));
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    restyle();
}

void ColorLabel::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    restyle();
}

void ColorLabel::restyle()
{
    // The text in the colour itself, on a faint patch of it with a slightly stronger edge.
    auto rgba = [this](double alpha) {
        return QStringLiteral("rgba(%1, %2, %3, %4)")
            .arg(m_color.red())
            .arg(m_color.green())
            .arg(m_color.blue())
            .arg(alpha);
    };
    setStyleSheet(QStringLiteral("QLabel { color: %1; background-color: %2; border: 1px solid %3; "
                                 "border-radius: 7px; padding: 3px 8px; font-size: 11px; font-weight: 500; }")
                      .arg(m_color.name(), rgba(0.12), rgba(0.25)));
}
