#pragma once

#include "Tapestrel/apps/frame/ThemePicker.h"
#include "Tapestrel/apps/iterm/ITermThemeStore.h"

// The picker of iTerm2's colour preset: "Don't set" and, without a divider, the built-in and the
// custom presets, each row carrying the preset's name. It owns its store, made with it, so it lists
// the presets as they are when the picker is made.
class ITermThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    ITermThemePicker(Option *option, ITermThemeStore *store, QWidget *parent = nullptr);
};
