#include "Tapestrel/apps/obsidian/ObsidianTheme.h"

#include "Tapestrel/apps/frame/ThemeSort.h"

#include <QCoreApplication>
#include <QDir>

namespace ObsidianThemes {

QList<ObsidianTheme> builtInThemes()
{
    return ThemeSort::sortedByName(
        QList<ObsidianTheme> {{defaultThemeID, QCoreApplication::translate("ObsidianTheme", "Default")}},
        [](const ObsidianTheme &theme) { return theme.name; });
}

QList<ObsidianTheme> themesInFolder(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.exists())
        return {};
    QList<ObsidianTheme> themes;
    for (const QString &entry :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted))
        themes.append({entry, entry});
    return themes;
}

} // namespace ObsidianThemes
