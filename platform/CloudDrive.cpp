#include "platform/CloudDrive.h"

#include "platform/Home.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileInfo>

namespace Platform {

const QString CloudDrive::enabledKey = QStringLiteral("CloudDriveEnabled");

bool CloudDrive::isEnabled()
{
    if (qEnvironmentVariableIsSet(environmentVariable)) {
        const QString value = qEnvironmentVariable(environmentVariable).trimmed().toLower();
        return value == QLatin1String("1") || value == QLatin1String("true") || value == QLatin1String("yes")
            || value == QLatin1String("on");
    }
    return UserDefaults::global().boolean(enabledKey);
}

bool CloudDrive::setEnabled(bool enabled)
{
    return UserDefaults::global().setValue(enabledKey, enabled);
}

QString CloudDrive::drivePath()
{
    return Home::path(QStringLiteral("Library/Mobile Documents"));
}

QString CloudDrive::containerName(const QString &bundleIdentifier)
{
    QString name = bundleIdentifier;
    name.replace(QLatin1Char('.'), QLatin1Char('~'));
    return QStringLiteral("iCloud~") + name;
}

std::optional<QString> CloudDrive::containerPath()
{
    return containerPath(UserDefaults::standardDomainName);
}

std::optional<QString> CloudDrive::containerPath(const QString &bundleIdentifier)
{
    // The identifier becomes one folder name: anything that could leave the drive is refused.
    if (!isEnabled() || !UserDefaults::isValidDomainName(bundleIdentifier))
        return std::nullopt;
    const QString path = drivePath() + QLatin1Char('/') + containerName(bundleIdentifier);
    if (!QFileInfo(path).isDir() && !QDir().mkpath(path)) {
        qWarning("cloud drive: cannot create the container %s", qPrintable(path));
        return std::nullopt;
    }
    return path;
}

} // namespace Platform
