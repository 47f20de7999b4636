#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"

#include "Tapestrel/apps/vscode/VSCodeProfileExtensionFinder.h"
#include "Tapestrel/apps/vscode/VSCodeThemeFinder.h"

#include <algorithm>

namespace {

// Ascending by name, by Unicode scalar values after canonical normalisation; equal names keep
// their order.
void sortByName(QList<VSCodeTheme> &themes)
{
    std::stable_sort(themes.begin(), themes.end(), [](const VSCodeTheme &a, const VSCodeTheme &b) {
        return a.name.normalized(QString::NormalizationForm_C).toUcs4()
            < b.name.normalized(QString::NormalizationForm_C).toUcs4();
    });
}

} // namespace

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
    : QObject(parent)
    , m_defaultThemes(builtInTable())
    , m_profile(std::move(profile))
{
    sortByName(m_defaultThemes);
    m_customThemes = loadCustomThemes();
}

void VSCodeThemeStore::setCustomThemes(QList<VSCodeTheme> themes)
{
    if (themes == m_customThemes)
        return;
    m_customThemes = std::move(themes);
    emit themesChanged();
}

QList<VSCodeTheme> VSCodeThemeStore::loadCustomThemes() const
{
    if (!m_profile)
        return {};
    QList<VSCodeTheme> themes;
    for (const VSCodeExtension &extension : VSCodeProfileExtensionFinder::extensions(*m_profile))
        themes.append(VSCodeThemeFinder::themes(extension.path));
    return themes;
}
