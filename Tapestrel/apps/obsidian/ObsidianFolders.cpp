#include "Tapestrel/apps/obsidian/ObsidianFolders.h"

#include "platform/Home.h"

#include <QDir>
#include <QFileInfo>

namespace ObsidianFolders {

namespace {

// An XDG base folder from its variable, or the fallback when the variable is unset, empty or not an
// absolute path (the base-directory rules ignore relative ones).
QString xdgFolder(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : fallback;
}

} // namespace

bool isEmulatedHome()
{
    return !qEnvironmentVariableIsEmpty("TAPESTREL_HOME");
}

QString configFolder()
{
    if (isEmulatedHome())
        return Platform::Home::applicationSupportFolder() + QStringLiteral("/obsidian");
    return xdgFolder("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"))
        + QStringLiteral("/obsidian");
}

std::optional<QString> configFilePath(const QString &name)
{
    const QString path = configFolder() + QLatin1Char('/') + name;
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

QStringList desktopEntryNames()
{
    return {QStringLiteral("obsidian.desktop"), QStringLiteral("md.obsidian.Obsidian.desktop")};
}

std::optional<QString> installedDesktopEntry()
{
    QStringList dataFolders {xdgFolder("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"))};
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &folder : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            dataFolders.append(QDir::cleanPath(folder));
    }
    for (const QString &folder : std::as_const(dataFolders)) {
        for (const QString &name : desktopEntryNames()) {
            const QString entry = folder + QStringLiteral("/applications/") + name;
            if (QFileInfo(entry).isFile())
                return entry;
        }
    }
    return std::nullopt;
}

} // namespace ObsidianFolders
