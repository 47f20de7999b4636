#include "Tapestrel/apps/terminal/TerminalThemeStore.h"

#include "Tapestrel/apps/frame/ThemeSort.h"

#include "platform/UserDefaults.h"

TerminalThemeStore::TerminalThemeStore()
    : ThemeStore<TerminalTheme>(loadThemes())
{ }

QList<TerminalTheme> TerminalThemeStore::loadThemes()
{
    Platform::UserDefaults *suite = Platform::UserDefaults::suite(domain);
    if (!suite)
        return {};
    const std::optional<QVariantMap> settings = suite->dictionary(QStringLiteral("Window Settings"));
    if (!settings)
        return {};
    QList<TerminalTheme> themes;
    // A settings set without a name would be a row without text, its value that of "Don't set".
    for (auto it = settings->cbegin(); it != settings->cend(); ++it) {
        if (!it.key().trimmed().isEmpty())
            themes.append({it.key()});
    }
    return ThemeSort::sortedByName(themes, [](const TerminalTheme &theme) { return theme.name; });
}
