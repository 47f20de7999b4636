#pragma once

#include "Tapestrel/apps/frame/ChoiceSheet.h"

class ObsidianVaultPicker;

// The sheet in which the user chooses the vault that every profile's Obsidian options act on.
// Nothing is saved on closing: the choice is stored when it is made.
class ObsidianSettingsView : public ChoiceSheet
{
    Q_OBJECT

public:
    explicit ObsidianSettingsView(QWidget *parent = nullptr);

    ObsidianVaultPicker *vaultPicker() const { return m_picker; }

private:
    ObsidianSettingsView(ObsidianVaultPicker *picker, QWidget *parent);

    ObsidianVaultPicker *m_picker;
};
