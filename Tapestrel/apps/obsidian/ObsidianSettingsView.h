#pragma once

#include <QDialog>

class ObsidianVaultPicker;

// The sheet in which the user chooses the vault that every profile's Obsidian options act on.
// Nothing is saved on closing: the choice is stored when it is made.
class ObsidianSettingsView : public QDialog
{
    Q_OBJECT

public:
    explicit ObsidianSettingsView(QWidget *parent = nullptr);

    ObsidianVaultPicker *vaultPicker() const { return m_picker; }

private:
    ObsidianVaultPicker *m_picker;
};
