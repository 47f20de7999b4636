#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"

class VSCodeSelectedProfileController;
class VSCodeThemeStore;

// "Theme": "Don't set" ("<do-not-set>"), a divider, "Built-in Themes" and "Custom Themes" (the
// enabled extensions' themes of the chosen VS Code profile). The store is built for the profile
// chosen when the picker is made; choosing another VS Code profile anywhere reloads its custom themes.
class VSCodeThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    explicit VSCodeThemePicker(Option *option, QWidget *parent = nullptr);

    VSCodeSelectedProfileController *selectedProfileController() const { return m_controller; }
    VSCodeThemeStore *themeStore() const { return m_store; }

private:
    VSCodeThemePicker(Option *option, VSCodeSelectedProfileController *controller, QWidget *parent);
    VSCodeThemePicker(Option *option, VSCodeSelectedProfileController *controller, VSCodeThemeStore *store,
                      QWidget *parent);

    VSCodeSelectedProfileController *m_controller;
    VSCodeThemeStore *m_store;
};
