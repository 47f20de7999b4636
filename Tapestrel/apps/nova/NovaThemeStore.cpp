#include "Tapestrel/apps/nova/NovaThemeStore.h"

NovaThemeStore::NovaThemeStore()
    : ThemeStore<NovaTheme>(builtInTable())
{ }

QList<NovaTheme> NovaThemeStore::builtInTable()
{
    return {
        {QStringLiteral("Panic Bright"), QStringLiteral("Bright")},
        {QStringLiteral("Panic Dark"), QStringLiteral("Dark")},
        {QStringLiteral("Panic Neon"), QStringLiteral("Neon")},
        {QStringLiteral("Panic Palette"), QStringLiteral("Palette")},
    };
}
