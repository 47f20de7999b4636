#include "KivUtilities/FileBookmarkController.h"

#include "KivUtilities/FileBookmark.h"
#include "KivUtilities/FileBookmarkStore.h"

#include <QFileInfo>

namespace KivUtilities {

namespace {

bool covers(const QString &stored, const QString &path)
{
    if (stored.isEmpty() || path.isEmpty())
        return false;
    if (path == stored)
        return true;
    const QString folder = stored.endsWith(QLatin1Char('/')) ? stored : stored + QLatin1Char('/');
    return path.startsWith(folder);
}

} // namespace

FileBookmarkController::FileBookmarkController(FileBookmarkStore &store)
    : m_store(store)
{
    for (const QUrl &location : m_store.urls())
        FileBookmark::startAccessing(location);
}

bool FileBookmarkController::isReadable(const QUrl &location) const
{
    const QString path = FileBookmark::pathOf(location);
    return !path.isEmpty() && QFileInfo(path).isReadable();
}

bool FileBookmarkController::hasAccess(const QUrl &location) const
{
    const QString path = FileBookmark::pathOf(location);
    for (const QUrl &stored : m_store.urls()) {
        if (covers(FileBookmark::pathOf(stored), path))
            return true;
    }
    return false;
}

void FileBookmarkController::grantAccess(const QUrl &location)
{
    if (hasAccess(location))
        return;
    QList<QUrl> locations = m_store.urls();
    locations.append(location);
    m_store.setUrls(locations);
    FileBookmark::startAccessing(location);
}

} // namespace KivUtilities
