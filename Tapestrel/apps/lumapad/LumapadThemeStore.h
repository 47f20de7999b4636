#pragma once

#include "Tapestrel/apps/frame/ThemeFileStore.h"
#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadTheme.h"

// Lumapad's ".lptheme" files: in the installed edition's bundle and in its themes folder. A theme's
// value is its file name with the extension.
class LumapadThemeStore : public ThemeFileStore<LumapadTheme, LumapadAppConfig>
{
public:
    static inline const QString extension = QStringLiteral("lptheme");

    explicit LumapadThemeStore(const LumapadAppConfig *config)
        : ThemeFileStore(config, extension, &makeTheme)
    { }

    static LumapadTheme makeTheme(const ThemeFileFolder::Entry &entry)
    {
        return {entry.name, entry.fileName};
    }
};
