#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"

#include "Tapestrel/apps/vscode/VSCodeProfileExtensionFinder.h"
#include "Tapestrel/apps/vscode/VSCodeThemeFinder.h"

const QList<VSCodeTheme> &VSCodeThemeStore::builtInTable()
{
    static const QList<VSCodeTheme> table {
        {QStringLiteral("Default Dark+"), QStringLiteral("Dark+ (default dark)")},
        {QStringLiteral("Default Light+"), QStringLiteral("Light+ (default light)")},
        {QStringLiteral("Visual Studio Dark"), QStringLiteral("Dark (Visual Studio)")},
        {QStringLiteral("Visual Studio Light"), QStringLiteral("Light (Visual Studio)")},
        {QStringLiteral("Default High Contrast"), QStringLiteral("Dark High Contrast")},
        {QStringLiteral("Default High Contrast Light"), QStringLiteral("Light High Contrast")},
        {QStringLiteral("Kimbie Dark"), QStringLiteral("Kimbie Dark")},
        {QStringLiteral("Monokai"), QStringLiteral("Monokai")},
        {QStringLiteral("Monokai Dimmed"), QStringLiteral("Monokai Dimmed")},
        {QStringLiteral("Quiet Light"), QStringLiteral("Quiet Light")},
        {QStringLiteral("Red"), QStringLiteral("Red")},
        {QStringLiteral("Solarized Dark"), QStringLiteral("Solarized Dark")},
        {QStringLiteral("Solarized Light"), QStringLiteral("Solarized Light")},
        {QStringLiteral("Tomorrow Night Blue"), QStringLiteral("Tomorrow Night Blue")},
        {QStringLiteral("Abyss"), QStringLiteral("Abyss")},
    };
    return table;
}

VSCodeThemeStore::VSCodeThemeStore(std::optional<VSCodeProfile> profile, QObject *parent)
    : VSCodeThemeStore(std::make_shared<std::optional<VSCodeProfile>>(std::move(profile)), parent)
{ }

VSCodeThemeStore::VSCodeThemeStore(std::shared_ptr<std::optional<VSCodeProfile>> profile, QObject *parent)
    : ThemeStore(ThemeSort::sortedByName(builtInTable(), [](const VSCodeTheme &theme) { return theme.name; }),
                 [profile] { return loadCustomThemes(*profile); })
    , m_profile(std::move(profile))
{
    setParent(parent);
}

void VSCodeThemeStore::setProfile(std::optional<VSCodeProfile> profile)
{
    *m_profile = std::move(profile);
    reloadCustomThemes();
}

QList<VSCodeTheme> VSCodeThemeStore::loadCustomThemes(const std::optional<VSCodeProfile> &profile)
{
    if (!profile)
        return {};
    QList<VSCodeTheme> themes;
    for (const VSCodeExtension &extension : VSCodeProfileExtensionFinder::extensions(*profile))
        themes.append(VSCodeThemeFinder::themes(extension.path));
    return themes;
}
