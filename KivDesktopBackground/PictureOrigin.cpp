#include "KivDesktopBackground/PictureOrigin.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sys/xattr.h>

namespace KivDesktopBackground {

namespace {

// Where the desktop's programs note the file or address a file came from.
const char originAttribute[] = "user.xdg.origin.url";

} // namespace

QString PictureOrigin::nameOf(const QString &path)
{
    char origin[4096];
    const ssize_t length =
        ::getxattr(QFile::encodeName(path).constData(), originAttribute, origin, sizeof origin);
    if (length <= 0)
        return path;
    const QUrl url(QString::fromUtf8(origin, length), QUrl::StrictMode);
    return url.isLocalFile() ? url.toLocalFile() : path;
}

void PictureOrigin::recordOrigin(const QString &copy, const QString &source)
{
    const QByteArray origin = QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath()).toEncoded();
    ::setxattr(QFile::encodeName(copy).constData(), originAttribute, origin.constData(),
               size_t(origin.size()), 0);
}

} // namespace KivDesktopBackground
