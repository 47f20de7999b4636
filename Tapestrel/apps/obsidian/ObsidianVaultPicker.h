#pragma once

#include "Tapestrel/apps/obsidian/ObsidianVaultStore.h"

#include <QWidget>

class ObsidianSelectedVaultController;
class QComboBox;
class QLabel;

// The vault choice: a pop-up of the vaults Obsidian lists (read when the picker is made), bound to
// the chosen vault; or, when Obsidian lists none, a text that says so. Choosing a vault stores it at
// once, and every other place that shows the choice follows.
class ObsidianVaultPicker : public QWidget
{
    Q_OBJECT

public:
    explicit ObsidianVaultPicker(QWidget *parent = nullptr);

    const ObsidianVaultStore &store() const { return m_store; }
    ObsidianSelectedVaultController *selectedVaultController() const { return m_controller; }
    // Null while Obsidian lists no vault.
    QComboBox *comboBox() const { return m_combo; }
    // Null while Obsidian lists vaults.
    QLabel *emptyLabel() const { return m_empty; }

private:
    void refresh();

    ObsidianVaultStore m_store;
    ObsidianSelectedVaultController *m_controller;
    QComboBox *m_combo = nullptr;
    QLabel *m_empty = nullptr;
};
