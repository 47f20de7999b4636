#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"

class ObsidianSelectedVaultController;
class ObsidianThemeStore;

// "Theme": "Don't set", a divider, "Built-in Themes" with "Default", and "Custom Themes" with the
// chosen vault's themes. It follows the vault choice: when another vault is chosen, the custom
// themes become that vault's.
class ObsidianThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    explicit ObsidianThemePicker(Option *option, QWidget *parent = nullptr);

    ObsidianSelectedVaultController *selectedVaultController() const { return m_controller; }
    ObsidianThemeStore *themeStore() const { return m_store; }

private:
    ObsidianThemePicker(Option *option, ObsidianSelectedVaultController *controller, QWidget *parent);
    ObsidianThemePicker(Option *option, ObsidianSelectedVaultController *controller,
                        ObsidianThemeStore *store, QWidget *parent);

    ObsidianSelectedVaultController *m_controller;
    ObsidianThemeStore *m_store;
};
