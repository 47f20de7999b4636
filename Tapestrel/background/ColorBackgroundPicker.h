#pragma once

#include "Tapestrel/background/BackgroundColorStore.h"
#include "Tapestrel/background/BackgroundSectionPicker.h"

#include <QPointer>

#include "Tapestrel/background/ColorEditor.h"

// The "Color" section: the ten preset colours, the user's colour backgrounds and the add tile. A
// custom colour can be edited (in the colour sheet), duplicated and deleted after confirmation; a
// saved colour becomes the selection.
class ColorBackgroundPicker : public BackgroundSectionPicker
{
    Q_OBJECT

public:
    ColorBackgroundPicker(BackgroundSelection *selection, ModelContext *modelContext,
                          QWidget *parent = nullptr);

    const BackgroundColorStore &store() const { return m_store; }

    // Opens the sheet: for a record whose value is a colour, editing it ("Save"); otherwise adding
    // (gray, "Add") and, when a record is given, overwriting it as a colour on confirm.
    void presentEditor(CustomBackground *editingItem = nullptr);
    ColorEditor *sheet() const { return m_sheet; }

protected:
    BackgroundTile *makeTile(const KivDesktopBackground::Background &background) override;
    QMenu *makeCustomMenu(CustomBackground *record, const KivDesktopBackground::Background &background,
                          QWidget *parent) override;

private:
    BackgroundColorStore m_store;
    QPointer<ColorEditor> m_sheet;
};
