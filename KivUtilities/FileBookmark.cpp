#include "KivUtilities/FileBookmark.h"

#include "platform/PropertyList.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QVariantMap>

#include <sys/stat.h>

namespace KivUtilities {

namespace {

const QString pathKey = QStringLiteral("path");
const QString deviceKey = QStringLiteral("device");
const QString inodeKey = QStringLiteral("inode");

struct Identity
{
    qint64 device;
    qint64 inode;
};

std::optional<Identity> identityAt(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return Identity {static_cast<qint64>(info.st_dev), static_cast<qint64>(info.st_ino)};
}

QMutex accessMutex;
QList<QUrl> accessed;

} // namespace

QString FileBookmark::pathOf(const QUrl &location)
{
    if (!location.isLocalFile() || location.toLocalFile().isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(location.toLocalFile()).absoluteFilePath());
}

std::optional<QByteArray> FileBookmark::create(const QUrl &location)
{
    const QString path = pathOf(location);
    if (path.isEmpty())
        return std::nullopt;
    const auto identity = identityAt(path);
    if (!identity)
        return std::nullopt;
    const QByteArray data = Platform::PropertyList::toBinary(QVariantMap {
        {pathKey, path},
        {deviceKey, identity->device},
        {inodeKey, identity->inode},
    });
    if (data.isEmpty())
        return std::nullopt;
    return data;
}

std::optional<FileBookmark::Resolution> FileBookmark::resolve(const QByteArray &data)
{
    const auto dictionary = Platform::PropertyList::parseDictionary(data);
    if (!dictionary)
        return std::nullopt;
    const QVariant path = dictionary->value(pathKey);
    const QVariant device = dictionary->value(deviceKey);
    const QVariant inode = dictionary->value(inodeKey);
    if (path.typeId() != QMetaType::QString || device.typeId() != QMetaType::LongLong
        || inode.typeId() != QMetaType::LongLong)
        return std::nullopt;
    const QString text = path.toString();
    if (!QDir::isAbsolutePath(text))
        return std::nullopt;
    const auto identity = identityAt(text);
    if (!identity)
        return std::nullopt;
    const bool stale = identity->device != device.toLongLong() || identity->inode != inode.toLongLong();
    return Resolution {QUrl::fromLocalFile(text), stale};
}

bool FileBookmark::startAccessing(const QUrl &location)
{
    QMutexLocker lock(&accessMutex);
    if (!accessed.contains(location))
        accessed.append(location);
    return true;
}

void FileBookmark::stopAccessing(const QUrl &location)
{
    QMutexLocker lock(&accessMutex);
    accessed.removeAll(location);
}

QList<QUrl> FileBookmark::accessedLocations()
{
    QMutexLocker lock(&accessMutex);
    return accessed;
}

} // namespace KivUtilities
