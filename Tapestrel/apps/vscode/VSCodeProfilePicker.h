#pragma once

#include "Tapestrel/apps/vscode/VSCodeProfileStore.h"

#include <QWidget>

class QComboBox;
class VSCodeSelectedProfileController;

// "Profile": one row per VS Code profile as listed when the picker was made (the default profile
// first), bound to the chosen profile.
class VSCodeProfilePicker : public QWidget
{
    Q_OBJECT

public:
    explicit VSCodeProfilePicker(QWidget *parent = nullptr);

    VSCodeSelectedProfileController *selectedProfileController() const { return m_controller; }
    QComboBox *comboBox() const { return m_combo; }

private:
    void refresh();

    VSCodeProfileStore m_store;
    VSCodeSelectedProfileController *m_controller;
    QComboBox *m_combo;
};
