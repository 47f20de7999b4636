#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"

class AlfredThemeStore;

// "Theme": "Don't set", a divider, "Built-in Themes" and "Custom Themes". Each time it comes on
// screen the store collects Alfred's user themes again.
class AlfredThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    AlfredThemePicker(Option *option, AlfredThemeStore *themeStore, QWidget *parent = nullptr);
};
