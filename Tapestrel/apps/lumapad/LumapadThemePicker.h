#pragma once

#include "Tapestrel/apps/frame/ThemeFileOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadThemeStore.h"

// The picker of Lumapad's theme: "Don't set", the application's themes and the user's, read again each
// time it comes on screen.
class LumapadThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    LumapadThemePicker(Option *option, LumapadThemeStore *store, QWidget *parent = nullptr)
        : ThemePicker(
            option, tr("Theme"), QString(), fileThemeSections(store), store, [store] { store->reload(); },
            parent)
    { }
};
