#include "Tapestrel/background/ColorBackgroundPicker.h"

#include "Tapestrel/background/AddBackgroundButton.h"
#include "Tapestrel/background/BackgroundButtons.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/ColorEditor.h"
#include "Tapestrel/background/DeleteBackgroundAlertModifier.h"
#include "Tapestrel/model/ModelContext.h"

#include <QMenu>

using KivDesktopBackground::Background;

ColorBackgroundPicker::ColorBackgroundPicker(BackgroundSelection *selection, ModelContext *modelContext,
                                             QWidget *parent)
    : BackgroundSectionPicker(selection, modelContext, CustomBackground::Kind::Color, parent)
{
    setObjectName(QStringLiteral("ColorBackgroundPicker"));
    build(makeBuiltInTiles(m_store.backgrounds()), new AddBackgroundButton([this] { presentEditor(); }, this),
          tr("This action cannot be undone."));
}

BackgroundTile *ColorBackgroundPicker::makeTile(const Background &background)
{
    return new ColorView(selection(), background, tileSize, this);
}

QMenu *ColorBackgroundPicker::makeCustomMenu(CustomBackground *record, const Background &background,
                                             QWidget *parent)
{
    return makeEditableMenu(record, background, parent,
                            [this](CustomBackground *item) { presentEditor(item); });
}

void ColorBackgroundPicker::presentEditor(CustomBackground *editingItem)
{
    if (m_sheet)
        return;
    const std::optional<Background> current = editingItem ? editingItem->background() : std::nullopt;
    const bool isEditing = current && current->kind() == Background::Kind::color;
    const QColor start = isEditing ? current->colorValue() : QColor(0x8E, 0x8E, 0x93);
    m_sheet = new ColorEditor(
        isEditing, start,
        [this](const QColor &color) {
            // Kept without opacity, as every colour of a background is.
            QColor opaque = color;
            opaque.setAlpha(255);
            storeFromSheet(Background::color(opaque));
        },
        this);
    beginEditing(editingItem, m_sheet);
    m_sheet->open();
}
