#pragma once

#include "Tapestrel/apps/alfred/AlfredFiles.h"
#include "Tapestrel/apps/frame/Theme.h"
#include "Tapestrel/apps/frame/ThemeStore.h"

#include <optional>

using AlfredTheme = Theme;

// Alfred's themes: its ten built-in themes and the theme folders of its synchronised preferences
// (each a folder, named by the theme's id, holding "theme.json"), both sorted by name.
class AlfredThemeStore : public ThemeStore<AlfredTheme>
{
public:
    AlfredThemeStore();

    // The built-in table in the order Alfred lists it.
    static QList<AlfredTheme> builtInTable();
    // The user's themes as they are now, sorted by name; a folder without a readable theme file is
    // left out.
    static QList<AlfredTheme> collectUserThemes();

    // The first theme, built-in ones first, whose id equals the text exactly.
    std::optional<AlfredTheme> theme(const QString &id) const;
};
