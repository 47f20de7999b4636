#pragma once

#include "Tapestrel/apps/frame/Theme.h"
#include "Tapestrel/apps/frame/ThemeStore.h"

using BearTheme = Theme;

// Bear's themes: one list, its built-in table sorted by name. Bear has no user themes. Bear knows a
// theme by its display name, so a theme's id and name are the same text.
class BearThemeStore : public ThemeStore<BearTheme>
{
public:
    BearThemeStore();

    // The built-in table sorted by name, made once for the whole process.
    static const QList<BearTheme> &builtInThemes();

    const QList<BearTheme> &themes() const { return defaultThemes(); }
};
