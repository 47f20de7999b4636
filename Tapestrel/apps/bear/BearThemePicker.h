#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"

class BearThemeStore;

// "Theme": "Don't set", a divider and Bear's themes, without section headers.
class BearThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    BearThemePicker(Option *option, BearThemeStore *themeStore, QWidget *parent = nullptr);
};
