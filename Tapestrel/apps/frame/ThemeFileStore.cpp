#include "Tapestrel/apps/frame/ThemeFileStore.h"

#include "Tapestrel/apps/frame/ThemeSort.h"

#include "platform/Workspace.h"

#include <QDir>
#include <QFileInfo>

namespace ThemeFileFolder {

QList<Entry> entries(const QString &folder, const QString &extension)
{
    QList<Entry> found;
    const QDir directory(folder);
    if (folder.isEmpty() || !directory.exists())
        return found;
    const QString suffix = QLatin1Char('.') + extension;
    const QStringList names = directory.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &fileName : names) {
        if (!fileName.endsWith(suffix, Qt::CaseSensitive) || fileName.size() == suffix.size())
            continue;
        found.append({fileName.chopped(suffix.size()), fileName, directory.filePath(fileName)});
    }
    return ThemeSort::sortedByName(found, [](const Entry &entry) { return entry.name; });
}

std::optional<QString> existing(const std::optional<QString> &path)
{
    if (!path || !QFileInfo::exists(*path))
        return std::nullopt;
    return path;
}

std::optional<QString> applicationResources(const QString &bundleID)
{
    const auto application = Platform::Workspace::shared().applicationWithBundleIdentifier(bundleID);
    if (!application)
        return std::nullopt;
    return existing(QDir(application->path).filePath(QStringLiteral("Contents/Resources")));
}

} // namespace ThemeFileFolder
