#include "Tapestrel/background/GradientPicker.h"

#include "Tapestrel/background/AddBackgroundButton.h"
#include "Tapestrel/background/BackgroundButtons.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/DeleteBackgroundAlertModifier.h"
#include "Tapestrel/background/GradientEditor.h"
#include "Tapestrel/model/ModelContext.h"

#include <QMenu>

using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;

GradientPicker::GradientPicker(BackgroundSelection *selection, ModelContext *modelContext, QWidget *parent)
    : BackgroundSectionPicker(selection, modelContext, CustomBackground::Kind::Gradient, parent)
{
    setObjectName(QStringLiteral("GradientPicker"));
    QList<Background> presets;
    for (const BuiltInBackground &builtIn : m_store.backgrounds())
        presets.append(builtIn.background());
    build(makeBuiltInTiles(presets), new AddBackgroundButton([this] { presentEditor(); }, this),
          tr("This action cannot be undone."));
}

BackgroundTile *GradientPicker::makeTile(const Background &background)
{
    return new GradientView(selection(), background, tileSize, this);
}

QMenu *GradientPicker::makeCustomMenu(CustomBackground *record, const Background &background, QWidget *parent)
{
    return makeEditableMenu(record, background, parent,
                            [this](CustomBackground *item) { presentEditor(item); });
}

void GradientPicker::presentEditor(CustomBackground *editingItem)
{
    if (m_sheet)
        return;
    const std::optional<Background> current = editingItem ? editingItem->background() : std::nullopt;
    std::optional<SerializableLinearGradient> start;
    if (current && current->kind() == Background::Kind::linearGradient && current->gradient())
        start = *current->gradient();
    m_sheet = new GradientEditor(
        start,
        [this](const SerializableLinearGradient &gradient) {
            storeFromSheet(Background::linearGradient(gradient));
        },
        this);
    beginEditing(editingItem, m_sheet);
    m_sheet->open();
}
