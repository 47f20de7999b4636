#pragma once

#include "Tapestrel/apps/corvella/CorvellaThemeStore.h"
#include "Tapestrel/apps/frame/ThemeFileOptionModel.h"

// The picker of Corvella's theme: "Don't set", the application's themes and the user's, read again each
// time it comes on screen.
class CorvellaThemePicker : public ThemePicker
{
    Q_OBJECT

public:
    CorvellaThemePicker(Option *option, CorvellaThemeStore *store, QWidget *parent = nullptr)
        : ThemePicker(
            option, tr("Theme"), QString(), fileThemeSections(store), store, [store] { store->reload(); },
            parent)
    { }
};
