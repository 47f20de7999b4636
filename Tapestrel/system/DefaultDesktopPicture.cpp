#include "Tapestrel/system/DefaultDesktopPicture.h"

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

QString DefaultDesktopPicture::path(const QString &fileName)
{
    return Platform::Home::resolve(QStringLiteral("/System/Library/Desktop Pictures/") + fileName);
}

bool DefaultDesktopPicture::installIfMissing(const QString &source)
{
    Platform::UserDefaults *desktop = Platform::UserDefaults::suite(desktopDomain);
    if (!desktop || desktop->value(backgroundKey).isValid())
        return false;
    const QString picture = path(QFileInfo(source).fileName());
    if (!QFileInfo::exists(picture)) {
        if (!QDir().mkpath(QFileInfo(picture).absolutePath()) || !QFile::copy(source, picture))
            return false;
        QFile::setPermissions(picture,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                  | QFileDevice::ReadOther);
    }
    return desktop->setValue(
        backgroundKey,
        QVariantMap {{QStringLiteral("default"), QVariantMap {{QStringLiteral("ImageFilePath"), picture}}}});
}
