#pragma once

#include "Tapestrel/background/BackgroundImageStore.h"
#include "Tapestrel/background/BackgroundSectionPicker.h"

#include <memory>

class AddImageButton;

// The "Image" section: the pictures that ship with the program, the user's image backgrounds and
// the add tile with "Add Image" and "Add Photo". Deleting a user image removes only its record; the
// file stays where it is.
class ImageBackgroundPicker : public BackgroundSectionPicker
{
    Q_OBJECT

public:
    ImageBackgroundPicker(BackgroundSelection *selection, ModelContext *modelContext,
                          QWidget *parent = nullptr);

    const BackgroundImageStore &store() const { return *m_store; }
    AddImageButton *addImageButton() const { return m_addButton; }

protected:
    BackgroundTile *makeTile(const KivDesktopBackground::Background &background) override;
    QMenu *makeCustomMenu(CustomBackground *record, const KivDesktopBackground::Background &background,
                          QWidget *parent) override;

private:
    std::unique_ptr<BackgroundImageStore> m_store;
    AddImageButton *m_addButton;
};
