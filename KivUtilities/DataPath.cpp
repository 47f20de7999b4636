#include "KivUtilities/DataPath.h"

#include "platform/Home.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace KivUtilities {

namespace {

struct Values
{
    std::optional<QString> path;
    std::optional<std::optional<QString>> ubiquityContainerPath;
};

QMutex &mutex()
{
    static QMutex instance;
    return instance;
}

// By home root, so that each emulated home has its own values.
QHash<QString, Values> &values()
{
    static QHash<QString, Values> instance;
    return instance;
}

QString computePath()
{
    QString path =
        Platform::Home::applicationSupportFolder() + QLatin1Char('/') + DataPath::bundleIdentifier();
    // In test mode only the suffixed folder is used, so only that one is made; the program's real
    // folder stays untouched by tests.
    if (qEnvironmentVariableIsSet("TEST"))
        path += QStringLiteral("-tests");
    if (!QFileInfo::exists(path) && !QDir().mkpath(path))
        qWarning("data path: cannot create %s", qPrintable(path));
    return path;
}

std::optional<QString> computeUbiquityContainerPath()
{
    const QString drive = Platform::Home::path(QStringLiteral("Library/Mobile Documents"));
    if (!QFileInfo(drive).isDir())
        return std::nullopt;
    QString container = DataPath::bundleIdentifier();
    container.replace(QLatin1Char('.'), QLatin1Char('~'));
    const QString path = drive + QStringLiteral("/iCloud~") + container;
    if (!QDir().mkpath(path))
        return std::nullopt;
    return path;
}

} // namespace

QString DataPath::bundleIdentifier()
{
    return Platform::UserDefaults::standardDomainName;
}

QString DataPath::path()
{
    QMutexLocker locker(&mutex());
    Values &entry = values()[Platform::Home::root()];
    if (!entry.path)
        entry.path = computePath();
    return *entry.path;
}

void DataPath::setPath(const QString &path)
{
    QMutexLocker locker(&mutex());
    values()[Platform::Home::root()].path = path;
}

std::optional<QString> DataPath::ubiquityContainerPath()
{
    QMutexLocker locker(&mutex());
    Values &entry = values()[Platform::Home::root()];
    if (!entry.ubiquityContainerPath)
        entry.ubiquityContainerPath = computeUbiquityContainerPath();
    return *entry.ubiquityContainerPath;
}

void DataPath::setUbiquityContainerPath(const std::optional<QString> &path)
{
    QMutexLocker locker(&mutex());
    values()[Platform::Home::root()].ubiquityContainerPath = path;
}

} // namespace KivUtilities
