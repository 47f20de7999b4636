#include "Tapestrel/apps/obsidian/ObsidianTheme.h"

#include <QCoreApplication>
#include <QDir>

namespace ObsidianThemes {

QList<ObsidianTheme> builtInThemes()
{
    return {{QString(), QCoreApplication::translate("ObsidianTheme", "Default")}};
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
