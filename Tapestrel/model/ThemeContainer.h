#pragma once

#include <QString>

// An option model whose value names a theme of another application. The theme-list export hands it
// the value a profile stores under the model's key and shows the theme name it gives back.
class ThemeContainer
{
public:
    virtual ~ThemeContainer() = default;

    // The name of the theme that the stored option value selects, as the user knows it.
    virtual QString themeName(const QString &optionValue) const = 0;
};
