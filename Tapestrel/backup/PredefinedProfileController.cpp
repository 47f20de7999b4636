#include "Tapestrel/backup/PredefinedProfileController.h"

#include "Tapestrel/backup/ProfileImporter.h"
#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include "KivDesktopBackground/Background.h"
#include "KivUtilities/Detached.h"
#include "platform/UserDefaults.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

// Outside any namespace: the resource initialiser is declared where this function stands.
static void initPredefinedResources()
{
    Q_INIT_RESOURCE(predefined);
}

namespace {

const QString backgroundKey = QStringLiteral("system.desktop.background.picture");
const QString resourceFolder = QStringLiteral(":/predefined/");

QString resourcePath(const QString &fileName)
{
    initPredefinedResources();
    return resourceFolder + fileName;
}

// A shipped file about to be read: one that is missing is a broken build. Looking a resource up
// reads the start of its data (a picture's first pages in memory), so it is done only then.
QString requiredResource(const QString &fileName)
{
    const QString path = resourcePath(fileName);
    if (!QFile::exists(path))
        qFatal("The program's resources lack %s", qPrintable(fileName));
    return path;
}

// A plain file name inside the folder: no separators, no way out of it.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(u'\\');
}

// The import runs on its own; its outcome is not looked at, as the flag is set either way.
QCoro::Task<void> importProfiles(QPointer<ModelContext> context,
                                 std::vector<std::unique_ptr<Profile>> profiles)
{
    ProfileImporter importer(context);
    co_await importer.importProfiles(std::move(profiles), false);
}

} // namespace

const QStringList PredefinedProfileController::pictureNames = {
    QStringLiteral("tapestrel1"), QStringLiteral("tapestrel2"),     QStringLiteral("tapestrel3"),
    QStringLiteral("tapestrel4"), QStringLiteral("tapestrel5"),     QStringLiteral("tapestrel6"),
    QStringLiteral("tapestrel7"), QStringLiteral("tapestrel-dark"),
};

QString PredefinedProfileController::pictureResource(const QString &name)
{
    return resourcePath(name + QStringLiteral(".jpg"));
}

PredefinedProfileController::PredefinedProfileController(ModelContext *modelContext, QString wallpapersFolder)
    : m_modelContext(modelContext)
    , m_wallpapersFolder(std::move(wallpapersFolder))
{ }

void PredefinedProfileController::importIfNeeded()
{
    copyPredefinedImagesIfNeeded();
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    if (defaults.boolean(didImportKey))
        return;
    if (m_modelContext)
        KivUtilities::detached(importProfiles(m_modelContext, loadPredefinedProfiles()),
                               "PredefinedProfileController");
    defaults.setValue(didImportKey, true);
}

QList<QUrl> PredefinedProfileController::predefinedImages()
{
    importIfNeeded();
    QList<QUrl> images;
    const QDir folder(m_wallpapersFolder);
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QFileInfo file(folder.filePath(name));
        if (file.suffix().toLower() == u"jpg" && pictureNames.contains(file.completeBaseName().toLower()))
            images.append(QUrl::fromLocalFile(file.filePath()));
    }
    return images;
}

void PredefinedProfileController::copyPredefinedImagesIfNeeded()
{
    if (!QDir().mkpath(m_wallpapersFolder))
        return;
    for (const QString &name : pictureNames) {
        const QString fileName = name + QStringLiteral(".jpg");
        const QString destination = m_wallpapersFolder + u'/' + fileName;
        if (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink())
            continue;
        if (!QFile::copy(requiredResource(fileName), destination))
            continue;
        // Files copied out of the resources are read-only; the user's copy is theirs to change.
        QFile::setPermissions(destination,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                  | QFileDevice::ReadOther);
    }
}

std::vector<std::unique_ptr<Profile>> PredefinedProfileController::loadPredefinedProfiles()
{
    QFile file(requiredResource(QStringLiteral("profiles.json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return profilesFromJson(file.readAll(), m_wallpapersFolder);
}

std::vector<std::unique_ptr<Profile>>
PredefinedProfileController::profilesFromJson(const QByteArray &json, const QString &wallpapersFolder)
{
    std::vector<std::unique_ptr<Profile>> profiles;
    try {
        const JsonCoder::Json list = JsonCoder::decode(json);
        if (!list.is_array())
            return profiles;
        for (const JsonCoder::Json &entry : list)
            profiles.push_back(Profile::fromJson(entry));
    } catch (const std::exception &error) {
        qWarning() << "The predefined profiles cannot be read:" << error.what();
        return {};
    }
    for (auto &profile : profiles) {
        // Two installations never share the profiles' identities.
        profile->setUuid(Profile::newUuid());
        // Only a background that names a file is pointed at the copy in the wallpapers folder; a
        // profile without a background gets none.
        Option *background = profile->option(backgroundKey);
        if (!background || !isPlainFileName(background->value()))
            continue;
        const QUrl url = QUrl::fromLocalFile(wallpapersFolder + u'/' + background->value());
        background->setValue(KivDesktopBackground::Background::image(url).rawValue());
    }
    return profiles;
}
