#include "Tapestrel/apps/vscode/VSCodeLocations.h"

#include "platform/Home.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

std::optional<QString> existing(const QString &path)
{
    if (QFileInfo::exists(path))
        return path;
    return std::nullopt;
}

std::optional<QString> below(const std::optional<QString> &base, const QString &relative)
{
    if (!base)
        return std::nullopt;
    return existing(*base + QLatin1Char('/') + relative);
}

} // namespace

bool VSCodeLocations::usesEmulatedHome()
{
    return !qEnvironmentVariableIsEmpty("TAPESTREL_HOME");
}

QString VSCodeLocations::userDataFolder()
{
    if (usesEmulatedHome())
        return Platform::Home::applicationSupportFolder() + QStringLiteral("/Code");
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(configHome + QStringLiteral("/Code"));
}

QString VSCodeLocations::extensionsFolder()
{
    const QString home = usesEmulatedHome() ? Platform::Home::root() : QDir::homePath();
    return home + QStringLiteral("/.vscode/extensions");
}

std::optional<QString> VSCodeLocations::userDataPath()
{
    return existing(userDataFolder());
}

QString VSCodeLocations::profileFolder(const VSCodeProfile &profile)
{
    return userDataFolder()
        + (profile.isDefault ? QStringLiteral("/User") : QStringLiteral("/User/profiles/") + profile.id);
}

std::optional<QString> VSCodeLocations::profilePath(const VSCodeProfile &profile)
{
    if (!userDataPath())
        return std::nullopt;
    return existing(profileFolder(profile));
}

std::optional<QString> VSCodeLocations::settingsPath(const VSCodeProfile &profile)
{
    const std::optional<QString> folder = profilePath(profile);
    if (!folder)
        return std::nullopt;
    // A link that leads nowhere is there: reading or writing through it fails, and says so.
    const QString path = *folder + QStringLiteral("/settings.json");
    if (QFileInfo(path).isSymLink())
        return path;
    return existing(path);
}

std::optional<QString> VSCodeLocations::globalExtensionsPath()
{
    return existing(extensionsFolder());
}

std::optional<QString> VSCodeLocations::extensionsListPath(const VSCodeProfile &profile)
{
    if (profile.isDefault)
        return below(globalExtensionsPath(), QStringLiteral("extensions.json"));
    return below(profilePath(profile), QStringLiteral("extensions.json"));
}

std::optional<QString> VSCodeLocations::stateDatabasePath(const VSCodeProfile &profile)
{
    return below(profilePath(profile), QStringLiteral("globalStorage/state.vscdb"));
}

std::optional<QString> VSCodeLocations::storagePath()
{
    return below(userDataPath(), QStringLiteral("User/globalStorage/storage.json"));
}

std::optional<QString> VSCodeLocations::desktopEntry()
{
    for (const QString &name :
         {QStringLiteral("code.desktop"), QStringLiteral("com.visualstudio.code.desktop")}) {
        const QString found = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, name);
        if (!found.isEmpty())
            return found;
    }
    return std::nullopt;
}
