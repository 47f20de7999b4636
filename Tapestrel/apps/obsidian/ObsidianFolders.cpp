#include "Tapestrel/apps/obsidian/ObsidianFolders.h"

#include "platform/Home.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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
    for (const QString &name : desktopEntryNames()) {
        const QString found = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, name);
        if (!found.isEmpty())
            return found;
    }
    return std::nullopt;
}

} // namespace ObsidianFolders
