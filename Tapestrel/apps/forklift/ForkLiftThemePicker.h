#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"

class ForkLiftThemeStore;

// "Theme": "Don't set", a divider, "Built-in Themes" and "Custom Themes". Each time it comes on
// screen the store collects ForkLift's user themes again, from the edition in use then.
class ForkLiftThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    ForkLiftThemePicker(Option *option, ForkLiftThemeStore *themeStore, QWidget *parent = nullptr);
};
