#include "KivUtilities/BottomNotificationView.h"

#include "KivUtilities/Symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace KivUtilities {

namespace {

constexpr int innerWidth = BottomNotificationView::side - 2 * BottomNotificationView::textPadding;

// Lays the text out in lines of the inner width; returns the lines' texts (all of them).
QStringList layoutLines(const QString &text, const QFont &font)
{
    QStringList lines;
    QTextLayout layout(text, font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(innerWidth);
        lines.append(text.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
    return lines;
}

} // namespace

BottomNotificationView::BottomNotificationView(const QString &text, const QIcon &image, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
    , m_image(image)
{
    setObjectName(QStringLiteral("BottomNotificationView"));
    setProperty(Symbols::propertyName, Symbols::nameOf(image));
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(side, side);
}

qreal BottomNotificationView::fittedTextSize(const QString &text, const QFont &base)
{
    QFont font = base;
    for (qreal size = textSize; size > textSize / 2; size -= 0.5) {
        font.setPixelSize(qRound(size));
        if (layoutLines(text, font).size() <= 2)
            return qRound(size);
    }
    return textSize / 2;
}

QFont BottomNotificationView::textFont() const
{
    QFont font = this->font();
    font.setPixelSize(qRound(fittedTextSize(m_text, font)));
    return font;
}

QStringList BottomNotificationView::textLines() const
{
    const QFont font = textFont();
    QStringList lines = layoutLines(m_text, font);
    if (lines.size() > 2) {
        const QString rest = QStringList(lines.mid(1)).join(QString());
        lines = {lines.first(), QFontMetrics(font).elidedText(rest.trimmed(), Qt::ElideRight, innerWidth)};
    }
    for (QString &line : lines)
        line = line.trimmed();
    return lines;
}

void BottomNotificationView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The material: a translucent square in the window colour, which follows light and dark.
    QPainterPath square;
    square.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    QColor material = palette().color(QPalette::Window);
    // Opaque where the window cannot be see-through (its shape is then a mask).
    if (testAttribute(Qt::WA_TranslucentBackground))
        material.setAlphaF(0.82);
    painter.fillPath(square, material);
    painter.setClipPath(square);

    const QFont font = textFont();
    const QStringList lines = textLines();
    const QFontMetrics metrics(font);
    const int textHeight = int(lines.size()) * metrics.lineSpacing();
    // Symbol frame + 8 below it, 12 between symbol and text, all centred vertically.
    constexpr int symbolBottomPadding = 8;
    constexpr int spacing = 12;
    const int stackHeight = symbolFrame + symbolBottomPadding + spacing + textHeight;
    const int top = (side - stackHeight) / 2;

    const QRect symbolRect((side - symbolFrame) / 2, top, symbolFrame, symbolFrame);
    if (!m_image.isNull()) {
        const QRect iconRect(symbolRect.center() - QPoint(symbolSize / 2 - 1, symbolSize / 2 - 1),
                             QSize(symbolSize, symbolSize));
        m_image.paint(&painter, iconRect);
    }

    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    int y = symbolRect.bottom() + 1 + symbolBottomPadding + spacing;
    for (const QString &line : lines) {
        painter.drawText(QRect(textPadding, y, innerWidth, metrics.lineSpacing()), Qt::AlignCenter, line);
        y += metrics.lineSpacing();
    }
}

} // namespace KivUtilities
