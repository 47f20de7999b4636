#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class ModelContainer;
class ModelContext;

// Keeps the folder of the program's background images: "Wallpapers" in the program's cloud drive
// container when the cloud drive is present, else the local "backgrounds" folder of the data
// directory. Older versions kept the files only in the local folder; the first launch that finds
// the cloud drive moves them into the cloud folder once and points the stored backgrounds (custom
// backgrounds and every profile's background option) at the moved files. Images of custom
// backgrounds that lie elsewhere on disk are copied into the cloud folder on that occasion.
//
// Used on the GUI thread; the folder getters may be called from any thread.
class BackgroundsICloudCoordinator
{
public:
    static constexpr const char *defaultDidMigrateKey = "didMigrateBackgroundsToICloudDrive";
    static constexpr const char *defaultWallpapersFolderName = "Wallpapers";

    // `localFolderPath` is the data directory's "backgrounds" entry.
    explicit BackgroundsICloudCoordinator(
        const QString &localFolderPath,
        const QString &didMigrateKey = QString::fromLatin1(defaultDidMigrateKey),
        const QString &wallpapersFolderName = QString::fromLatin1(defaultWallpapersFolderName));

    QString didMigrateKey() const { return m_didMigrateKey; }
    QString wallpapersFolderName() const { return m_wallpapersFolderName; }
    QString localFolderPath() const { return m_localFolderPath; }

    // The cloud folder (not created here), or nothing while the cloud drive is absent.
    std::optional<QString> iCloudFolderPath() const;
    std::optional<QUrl> iCloudFolderURL() const;
    // The folder that holds background files now: the cloud folder, else the local folder.
    QString wallpapersFolderPath() const;

    // The one-time move, at each launch before anything else reads the backgrounds. Without the
    // cloud drive it waits for a later launch. Reports nothing: whatever cannot be moved, copied or
    // rewritten stays as it was and keeps showing. The flag is set only once the rewritten values
    // are saved; after a failed save the next launch repairs the values of the moved files.
    void migrateToICloudDriveIfNeeded(ModelContainer &container);

    // A copy of a local file inside `folderPath`, named like the file, or with "-" and a new UUID
    // after its base name when that name is taken. Nothing for a URL that is not a local file, a
    // file already inside the folder, a missing file or a failed copy.
    static std::optional<QUrl> copyIntoWallpapersFolder(const QUrl &fileURL, const QString &folderPath);

    // The new text of a stored background value whose image lies in `localFolder`, pointing into
    // `cloudFolder` (kept in its form: background JSON or a plain file URL). With `copyOutsideFiles`
    // an image elsewhere is copied into the cloud folder; `copies` collects such copies. Nothing when
    // the value stays as it is.
    static std::optional<QString> rewrittenValue(const QString &text, const QString &localFolder,
                                                 const QString &cloudFolder, bool copyOutsideFiles,
                                                 QStringList *copies = nullptr);

private:
    bool rewriteStoredValues(ModelContext &context, const QString &localFolder, const QString &cloudFolder);

    QString m_localFolderPath;
    QString m_didMigrateKey;
    QString m_wallpapersFolderName;
};
