#pragma once

#include "Tapestrel/apps/frame/Theme.h"
#include "Tapestrel/apps/frame/ThemeStore.h"

using NovaTheme = Theme;

// Nova's four built-in editor themes, in table order (already by name); no custom themes.
class NovaThemeStore : public ThemeStore<NovaTheme>
{
public:
    NovaThemeStore();

    static QList<NovaTheme> builtInTable();
};
