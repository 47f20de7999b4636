#pragma once

#include "Tapestrel/background/BackgroundGradientStore.h"
#include "Tapestrel/background/BackgroundSectionPicker.h"

#include <QPointer>

#include "Tapestrel/background/GradientEditor.h"

// The "Gradient" section: the five preset gradients, the user's gradient backgrounds and the add
// tile. A custom gradient can be edited (in the gradient sheet), duplicated and deleted after
// confirmation; a saved gradient becomes the selection.
class GradientPicker : public BackgroundSectionPicker
{
    Q_OBJECT

public:
    GradientPicker(BackgroundSelection *selection, ModelContext *modelContext, QWidget *parent = nullptr);

    const BackgroundGradientStore &store() const { return m_store; }

    // Opens the sheet: with the record's gradient ("Save") when its value is a gradient, otherwise a
    // new random one ("Add"); saving overwrites a given record, or adds a new one.
    void presentEditor(CustomBackground *editingItem = nullptr);
    GradientEditor *sheet() const { return m_sheet; }

protected:
    BackgroundTile *makeTile(const KivDesktopBackground::Background &background) override;
    QMenu *makeCustomMenu(CustomBackground *record, const KivDesktopBackground::Background &background,
                          QWidget *parent) override;

private:
    BackgroundGradientStore m_store;
    QPointer<GradientEditor> m_sheet;
};
