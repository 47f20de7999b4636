#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"

class NovaThemeStore;

// "Editor Theme": "Don't set" ("<do-not-set>"), a divider, "Built-in Themes" and an always empty
// "Custom Themes". It never reloads.
class NovaEditorThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    NovaEditorThemePicker(Option *option, NovaThemeStore *store, QWidget *parent = nullptr);
};
