#pragma once

// Option.h needs the whole Profile type.
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/Option.h"

#include <QPointer>
#include <QWidget>

class ObsidianSelectedVaultController;
class ObsidianThemeStore;
class QComboBox;

// "Theme": "Don't set", a divider, "Built-in Themes" with "Default", and "Custom Themes" with the
// chosen vault's themes. When the user chooses another vault, the custom themes follow.
class ObsidianThemePicker : public QWidget
{
    Q_OBJECT

public:
    ObsidianThemePicker(Option *option, Profile *profile, QWidget *parent = nullptr);

    ObsidianSelectedVaultController *selectedVaultController() const { return m_controller; }
    ObsidianThemeStore *themeStore() const { return m_store; }
    QComboBox *comboBox() const { return m_combo; }

private:
    void rebuild();

    QPointer<Option> m_option;
    ObsidianSelectedVaultController *m_controller;
    ObsidianThemeStore *m_store;
    QComboBox *m_combo;
};
