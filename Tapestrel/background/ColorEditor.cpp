#include "Tapestrel/background/ColorEditor.h"

#include "Tapestrel/background/ColorWell.h"
#include "Tapestrel/background/EditorPreview.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

ColorEditor::ColorEditor(bool isEditing, const QColor &color, std::function<void(const QColor &)> onAdd,
                         QWidget *parent)
    : QDialog(parent)
    , m_color(color)
    , m_onAdd(std::move(onAdd))
    , m_preview(new EditorPreview(120, 10))
    , m_well(new ColorWell(color))
    , m_cancel(new QPushButton(tr("Cancel")))
    , m_confirm(new QPushButton(isEditing ? tr("Save") : tr("Add")))
{
    setObjectName(QStringLiteral("ColorEditor"));
    setWindowTitle(tr("Color"));
    m_preview->setColor(color);

    auto *form = new QGroupBox;
    auto *rows = new QFormLayout(form);
    rows->addRow(tr("Color"), m_well);
    layOutEditorSheet(this, m_preview, {form}, m_cancel, m_confirm, [this] {
        if (m_onAdd)
            m_onAdd(m_color);
    });
    connect(m_well, &ColorWell::colorPicked, this, &ColorEditor::setColor);
    resize(360, 300);
}

void ColorEditor::setColor(const QColor &color)
{
    m_color = color;
    m_well->setColor(color);
    m_preview->setColor(color);
}
