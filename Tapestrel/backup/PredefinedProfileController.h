#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <vector>

class ModelContext;
class Profile;

// Puts the profiles and pictures that ship with the program into the user's data, once: the
// pictures go to the wallpapers folder (and come back there whenever one is missing), the profiles
// get fresh identities, backgrounds that point at their copied pictures, and are added to the store.
class PredefinedProfileController
{
public:
    static inline const QString didImportKey = QStringLiteral("didImportPredefinedThemes");
    // The shipped pictures, "<name>.jpg".
    static const QStringList pictureNames;
    // The resource path of a shipped picture, by its name without the extension. Only the path:
    // nothing reads the resource until the picture is copied.
    static QString pictureResource(const QString &name);

    // Over the folder in which the main controller keeps wallpaper files.
    PredefinedProfileController(ModelContext *modelContext, QString wallpapersFolder);

    // Restores missing pictures, and adds the shipped profiles unless that was done before (the
    // flag is set even when the import fails, so it is never repeated).
    void importIfNeeded();

    // The copied pictures in the wallpapers folder (after importIfNeeded()).
    QList<QUrl> predefinedImages();

    void copyPredefinedImagesIfNeeded();
    // The shipped profiles with new identities and their backgrounds pointing at the copied pictures;
    // empty when the list cannot be read.
    std::vector<std::unique_ptr<Profile>> loadPredefinedProfiles();

    // Decodes a list of profiles in their JSON form as shipped: each gets a new uuid, and a background
    // option that holds a file name becomes the image background of that file in the folder.
    static std::vector<std::unique_ptr<Profile>> profilesFromJson(const QByteArray &json,
                                                                  const QString &wallpapersFolder);

private:
    QPointer<ModelContext> m_modelContext;
    QString m_wallpapersFolder;
};
