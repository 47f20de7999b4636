#include "ColorLabel.h"

#include <QEvent>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

ColorLabel::ColorLabel(const QString &text, const QColor &color, QWidget *parent)
    : QLabel(text, parent)
    , m_color(color)
{
    setObjectName(QStringLiteral("ColorLabel"));
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    followParent();
    restyle();
}

void ColorLabel::followParent()
{
    // The patch is mixed from the colour of the widget around the badge. A palette switch reaches the
    // widgets in no set order, and the badge's own palette (set by its style sheet) does not change
    // when its parent's does: the badge follows its parent's palette, also while it is hidden.
    if (m_followed == parentWidget())
        return;
    if (m_followed)
        m_followed->removeEventFilter(this);
    m_followed = parentWidget();
    if (m_followed)
        m_followed->installEventFilter(this);
}

bool ColorLabel::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange) {
        followParent();
        restyle();
    }
    return QLabel::event(event);
}

bool ColorLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_followed && event->type() == QEvent::PaletteChange)
        restyle();
    return QLabel::eventFilter(watched, event);
}

void ColorLabel::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    restyle();
}

namespace {

constexpr double patchAlpha = 0.12;

QColor mixed(const QColor &from, const QColor &to, double share)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * share),
                            float(from.greenF() + (to.greenF() - from.greenF()) * share),
                            float(from.blueF() + (to.blueF() - from.blueF()) * share));
}

double luminance(const QColor &color)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF())
        + 0.0722 * channel(color.blueF());
}

} // namespace

QColor ColorLabel::patchColor(const QColor &color, const QColor &window)
{
    return mixed(window, color, patchAlpha);
}

double ColorLabel::contrast(const QColor &a, const QColor &b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor ColorLabel::textColor(const QColor &color, const QColor &window)
{
    const QColor patch = patchColor(color, window);
    const QColor toward = window.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
    QColor text = color;
    for (double share = 0.05; contrast(text, patch) < 4.5 && share <= 1.0; share += 0.05)
        text = mixed(color, toward, share);
    return text;
}

void ColorLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        restyle();
}

void ColorLabel::restyle()
{
    // The text in (a readable shade of) the colour itself, on a faint patch of it with a slightly
    // stronger edge. The patch is opaque, so the contrast is the same on any background.
    // The window colour around the badge; its own palette carries the style sheet's colours.
    const QColor window =
        (parentWidget() ? parentWidget()->palette() : QGuiApplication::palette()).color(QPalette::Window);
    auto rgba = [this](double alpha) {
        return QStringLiteral("rgba(%1, %2, %3, %4)")
            .arg(m_color.red())
            .arg(m_color.green())
            .arg(m_color.blue())
            .arg(alpha);
    };
    const QString sheet =
        QStringLiteral("QLabel { color: %1; background-color: %2; border: 1px solid %3; "
                       "border-radius: 7px; padding: 3px 8px; font-size: 11px; font-weight: 500; }")
            .arg(textColor(m_color, window).name(), patchColor(m_color, window).name(), rgba(0.25));
    // Setting the same sheet again would bring another palette change, and so on.
    if (sheet != styleSheet())
        setStyleSheet(sheet);
}
