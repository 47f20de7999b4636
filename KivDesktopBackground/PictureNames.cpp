#include "KivDesktopBackground/PictureNames.h"

#include "KivDesktopBackground/PictureOrigin.h"

#include <QCoreApplication>

namespace KivDesktopBackground {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PictureDecoder", text);
}

} // namespace

QString PictureNames::notFoundMessage(const QString &path)
{
    return tr("The picture “%1” cannot be found.").arg(path);
}

QString PictureNames::cannotBeShown(const QString &path, const QString &reason)
{
    return tr("The picture “%1” cannot be shown: %2.").arg(PictureOrigin::nameOf(path), reason);
}

} // namespace KivDesktopBackground
