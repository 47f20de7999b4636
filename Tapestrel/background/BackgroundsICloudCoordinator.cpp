#include "Tapestrel/background/BackgroundsICloudCoordinator.h"

#include "KivDesktopBackground/Background.h"
#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "platform/CloudDrive.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <functional>

using KivDesktopBackground::Background;

namespace {

QString standardized(const QString &path)
{
    return QDir::cleanPath(path);
}

// The part of `path` below `folder`, or nothing when it does not lie inside. Whole path components
// are compared: "/data/backgrounds2/a.png" is not inside "/data/backgrounds".
std::optional<QString> relativePathInside(const QString &path, const QString &folder)
{
    const QString base = standardized(folder);
    const QString full = standardized(path);
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    if (!full.startsWith(prefix))
        return std::nullopt;
    return full.mid(prefix.size());
}

struct NameParts
{
    QString base;
    QString extension; // without the dot; empty when the name has none
};

// The last dot starts the extension, unless it is the name's first character (".hidden").
NameParts splitName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return {name, QString()};
    return {name.left(dot), name.mid(dot + 1)};
}

bool entryExists(const QString &path)
{
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

// Where a stored image URL points after the move; nothing when it stays.
std::optional<QUrl> relocatedURL(const QUrl &url, const QString &localFolder, const QString &cloudFolder,
                                 bool copyOutsideFiles, QStringList *copies)
{
    if (!url.isLocalFile())
        return std::nullopt;
    if (const std::optional<QString> relative = relativePathInside(url.toLocalFile(), localFolder)) {
        if (relative->isEmpty())
            return std::nullopt;
        const QString candidate = standardized(cloudFolder) + QLatin1Char('/') + *relative;
        // A file whose move failed keeps its old value, so it still shows.
        if (!entryExists(candidate))
            return std::nullopt;
        return QUrl::fromLocalFile(candidate);
    }
    if (!copyOutsideFiles)
        return std::nullopt;
    std::optional<QUrl> copy = BackgroundsICloudCoordinator::copyIntoWallpapersFolder(url, cloudFolder);
    if (copy && copies)
        copies->append(copy->toLocalFile());
    return copy;
}

} // namespace

BackgroundsICloudCoordinator::BackgroundsICloudCoordinator(const QString &localFolderPath,
                                                           const QString &didMigrateKey,
                                                           const QString &wallpapersFolderName)
    : m_localFolderPath(localFolderPath)
    , m_didMigrateKey(didMigrateKey)
    , m_wallpapersFolderName(wallpapersFolderName)
{ }

std::optional<QString> BackgroundsICloudCoordinator::iCloudFolderPath() const
{
    const std::optional<QString> container = Platform::CloudDrive::containerPath();
    if (!container)
        return std::nullopt;
    return *container + QLatin1Char('/') + m_wallpapersFolderName;
}

std::optional<QUrl> BackgroundsICloudCoordinator::iCloudFolderURL() const
{
    const std::optional<QString> path = iCloudFolderPath();
    if (!path)
        return std::nullopt;
    return QUrl::fromLocalFile(*path + QLatin1Char('/'));
}

QString BackgroundsICloudCoordinator::wallpapersFolderPath() const
{
    return iCloudFolderPath().value_or(m_localFolderPath);
}

void BackgroundsICloudCoordinator::migrateToICloudDriveIfNeeded(ModelContainer &container)
{
    const std::optional<QString> cloudFolder = iCloudFolderPath();
    if (!cloudFolder)
        return;
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    if (defaults.boolean(m_didMigrateKey))
        return;
    if (!entryExists(m_localFolderPath)) {
        defaults.setValue(m_didMigrateKey, true);
        return;
    }
    if (!QFileInfo(*cloudFolder).exists() && !QDir().mkpath(*cloudFolder))
        qWarning("backgrounds: cannot create %s", qPrintable(*cloudFolder));

    const QDir local(m_localFolderPath);
    const QStringList entries = local.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : entries) {
        const QString source = local.filePath(name);
        const QString destination = *cloudFolder + QLatin1Char('/') + name;
        if (entryExists(destination))
            continue;
        const bool moved = QFileInfo(source).isDir() && !QFileInfo(source).isSymLink()
            ? QDir().rename(source, destination)
            : QFile::rename(source, destination);
        if (!moved)
            qWarning("backgrounds: cannot move %s to %s", qPrintable(source), qPrintable(destination));
    }

    if (standardized(m_localFolderPath) == standardized(*cloudFolder)) {
        defaults.setValue(m_didMigrateKey, true);
        return;
    }
    if (rewriteStoredValues(*container.mainContext(), m_localFolderPath, *cloudFolder))
        defaults.setValue(m_didMigrateKey, true);
}

bool BackgroundsICloudCoordinator::rewriteStoredValues(ModelContext &context, const QString &localFolder,
                                                       const QString &cloudFolder)
{
    // What was changed, so a failed save can be undone without leaving copies nobody points at.
    struct Undo
    {
        std::function<void()> restore;
    };
    QList<Undo> undo;
    QStringList copies;

    try {
        for (CustomBackground *background : context.fetchBackgrounds()) {
            const QString old = background->backgroundValue();
            if (auto value = rewrittenValue(old, localFolder, cloudFolder, true, &copies)) {
                background->setBackgroundValue(*value);
                undo.append({[background, old] {
                    background->setBackgroundValue(old);
                }});
            }
        }
    } catch (const ModelStoreError &error) {
        qWarning("backgrounds: cannot fetch the custom backgrounds: %s", error.what());
    }
    try {
        for (Option *option : context.fetchOptions()) {
            if (option->key() != BackgroundOptionModel::optionKey())
                continue;
            const QString old = option->value();
            if (auto value = rewrittenValue(old, localFolder, cloudFolder, false)) {
                option->setValue(*value);
                undo.append({[option, old] {
                    option->setValue(old);
                }});
            }
        }
    } catch (const ModelStoreError &error) {
        qWarning("backgrounds: cannot fetch the background options: %s", error.what());
    }

    try {
        context.save();
        return true;
    } catch (const ModelStoreError &error) {
        qWarning("backgrounds: cannot save the moved backgrounds, trying again at the next launch: %s",
                 error.what());
    }
    // Back to the stored values, so nothing saves them later by chance; the moved files are found
    // again at the next launch, and the copies are made again then.
    for (const Undo &step : undo)
        step.restore();
    for (const QString &copy : copies)
        QFile::remove(copy);
    return false;
}

std::optional<QString> BackgroundsICloudCoordinator::rewrittenValue(const QString &text,
                                                                    const QString &localFolder,
                                                                    const QString &cloudFolder,
                                                                    bool copyOutsideFiles,
                                                                    QStringList *copies)
{
    if (const std::optional<Background> background = Background::fromRawValue(text)) {
        if (background->kind() != Background::Kind::image)
            return std::nullopt;
        const std::optional<QUrl> url =
            relocatedURL(background->url(), localFolder, cloudFolder, copyOutsideFiles, copies);
        if (!url)
            return std::nullopt;
        return Background::image(*url).rawValue();
    }
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || !url.isLocalFile())
        return std::nullopt;
    const std::optional<QUrl> relocated =
        relocatedURL(url, localFolder, cloudFolder, copyOutsideFiles, copies);
    if (!relocated)
        return std::nullopt;
    return QString::fromUtf8(relocated->toEncoded());
}

std::optional<QUrl> BackgroundsICloudCoordinator::copyIntoWallpapersFolder(const QUrl &fileURL,
                                                                           const QString &folderPath)
{
    if (!fileURL.isLocalFile())
        return std::nullopt;
    const QString filePath = standardized(fileURL.toLocalFile());
    if (relativePathInside(filePath, folderPath))
        return std::nullopt;
    if (!QFileInfo(filePath).isFile())
        return std::nullopt;
    const NameParts parts = splitName(QFileInfo(filePath).fileName());
    const auto named = [&](const QString &base) {
        QString name = base;
        if (!parts.extension.isEmpty())
            name += QLatin1Char('.') + parts.extension;
        return standardized(folderPath) + QLatin1Char('/') + name;
    };
    QString destination = named(parts.base);
    if (entryExists(destination))
        destination = named(parts.base + QLatin1Char('-')
                            + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (!QFile::copy(filePath, destination))
        return std::nullopt;
    return QUrl::fromLocalFile(destination);
}
