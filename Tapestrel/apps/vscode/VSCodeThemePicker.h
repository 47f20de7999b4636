#pragma once

// Option.h needs the whole Profile type.
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/Option.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class VSCodeSelectedProfileController;
class VSCodeThemeStore;

// "Theme": "Don't set", a divider, "Built-in Themes" and "Custom Themes" (the enabled extensions'
// themes of the chosen VS Code profile). Choosing another VS Code profile reloads the custom themes.
class VSCodeThemePicker : public QWidget
{
    Q_OBJECT

public:
    VSCodeThemePicker(Option *option, QWidget *parent = nullptr);

    VSCodeSelectedProfileController *selectedProfileController() const { return m_controller; }
    VSCodeThemeStore *themeStore() const { return m_store; }
    QComboBox *comboBox() const { return m_combo; }

private:
    void rebuild();

    QPointer<Option> m_option;
    VSCodeSelectedProfileController *m_controller;
    VSCodeThemeStore *m_store;
    QComboBox *m_combo;
};
