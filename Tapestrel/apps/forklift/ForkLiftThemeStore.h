#pragma once

#include "Tapestrel/apps/frame/Theme.h"
#include "Tapestrel/apps/frame/ThemeStore.h"

class ForkliftAppConfig;

using ForkLiftTheme = Theme;

// ForkLift's themes: its nine built-in themes sorted by name, and the user's themes in the order of
// the JSON array that ForkLift keeps as data under "themes" in the domain of the edition in use.
class ForkLiftThemeStore : public ThemeStore<ForkLiftTheme>
{
public:
    // The record must outlive the store (the registry holds it).
    explicit ForkLiftThemeStore(const ForkliftAppConfig *config);

    static QList<ForkLiftTheme> builtInTable();
    // The user's themes of the edition in use; none when no edition is installed or the value is
    // not a JSON array of objects with a text "id" and "name" (one bad element empties the list).
    static QList<ForkLiftTheme> collectUserThemes(const ForkliftAppConfig *config);
};
