#pragma once

#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"
#include "Tapestrel/apps/corvella/CorvellaTheme.h"
#include "Tapestrel/apps/frame/ThemeFileStore.h"

// Corvella's ".cvtheme" files: in the installed edition's bundle and in its user themes folder. A
// theme's value is its file's full path.
class CorvellaThemeStore : public ThemeFileStore<CorvellaTheme, CorvellaAppConfig>
{
public:
    static inline const QString extension = QStringLiteral("cvtheme");

    explicit CorvellaThemeStore(const CorvellaAppConfig *config)
        : ThemeFileStore(config, extension, &makeTheme)
    { }

    static CorvellaTheme makeTheme(const ThemeFileFolder::Entry &entry)
    {
        return {entry.name, entry.filePath};
    }
};
