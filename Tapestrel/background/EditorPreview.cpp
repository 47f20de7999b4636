#include "Tapestrel/background/EditorPreview.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

EditorPreview::EditorPreview(int height, double cornerRadius, QWidget *parent)
    : QWidget(parent)
    , m_height(height)
    , m_cornerRadius(cornerRadius)
{
    setObjectName(QStringLiteral("EditorPreview"));
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void EditorPreview::setColor(const QColor &color)
{
    m_color = color;
    m_gradient.reset();
    update();
}

void EditorPreview::setGradient(const KivDesktopBackground::SerializableLinearGradient &gradient)
{
    m_gradient = gradient;
    update();
}

void EditorPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(rect());
    QPainterPath shape;
    shape.addRoundedRect(area, m_cornerRadius, m_cornerRadius);
    if (m_gradient) {
        if (!m_gradient->stops.isEmpty())
            painter.fillPath(shape, QBrush(m_gradient->gradientFor(area)));
    } else {
        painter.fillPath(shape, m_color);
    }
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(area, Qt::AlignCenter, tr("Preview"));
}

void layOutEditorSheet(QDialog *sheet, EditorPreview *preview, const QList<QWidget *> &sections,
                       QPushButton *cancel, QPushButton *confirm, std::function<void()> onConfirm)
{
    auto *layout = new QVBoxLayout(sheet);
    auto *previewBar = new QHBoxLayout;
    previewBar->setContentsMargins(8, 8, 8, 8);
    previewBar->addWidget(preview);
    layout->addLayout(previewBar);
    for (QWidget *section : sections)
        layout->addWidget(section);
    layout->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 8, 8, 8);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(confirm);
    layout->addLayout(buttons);

    // Return confirms wherever the focus is; Escape is the dialog's own reject.
    cancel->setAutoDefault(false);
    confirm->setDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, sheet, &QDialog::reject);
    QObject::connect(confirm, &QPushButton::clicked, sheet, [sheet, onConfirm = std::move(onConfirm)] {
        if (onConfirm)
            onConfirm();
        sheet->accept();
    });
}
