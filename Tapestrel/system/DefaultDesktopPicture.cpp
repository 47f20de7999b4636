#include "Tapestrel/system/DefaultDesktopPicture.h"

#include "Tapestrel/model/PredefinedProfileController.h"

#include "platform/Home.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString desktopDomain = QStringLiteral("com.apple.desktop");
const QString backgroundKey = QStringLiteral("Background");

} // namespace

QString DefaultDesktopPicture::path()
{
    return Platform::Home::resolve(QStringLiteral("/System/Library/Desktop Pictures/")
                                   + PredefinedProfileController::pictureNames.first()
                                   + QStringLiteral(".jpg"));
}

bool DefaultDesktopPicture::installIfMissing()
{
    Platform::UserDefaults *desktop = Platform::UserDefaults::suite(desktopDomain);
    if (!desktop || desktop->value(backgroundKey).isValid())
        return false;
    const QString picture = path();
    if (!QFileInfo::exists(picture)) {
        if (!QDir().mkpath(QFileInfo(picture).absolutePath())
            || !QFile::copy(PredefinedProfileController::pictureResource(
                                PredefinedProfileController::pictureNames.first()),
                            picture))
            return false;
        QFile::setPermissions(picture,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                  | QFileDevice::ReadOther);
    }
    desktop->setValue(
        backgroundKey,
        QVariantMap {{QStringLiteral("default"), QVariantMap {{QStringLiteral("ImageFilePath"), picture}}}});
    return desktop->synchronize();
}
