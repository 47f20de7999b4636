#pragma once

#include "Tapestrel/apps/vscode/VSCodeTheme.h"

#include <QList>

// The colour themes that one extension contributes in its "package.json" ("contributes" → "themes").
class VSCodeThemeFinder
{
public:
    // In file order. A theme is known by its "id", else its "label"; it is shown by its label, else
    // its id. A manifest that cannot be read as such (a theme entry without a "path" text, a field
    // of the wrong type) contributes nothing; a theme with neither is left out.
    static QList<VSCodeTheme> themes(const QString &extensionFolder);
};
