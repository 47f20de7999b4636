#include "KivUtilities/FileBookmarkStore.h"

#include "KivUtilities/SharedInstance.h"

#include "KivUtilities/FileBookmark.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <QVariantList>

#include <mutex>

namespace KivUtilities {

FileBookmarkStore::FileBookmarkStore(QString userDefaultsKey)
    : m_userDefaultsKey(std::move(userDefaultsKey))
{ }

FileBookmarkStore &FileBookmarkStore::shared()
{
    return SharedInstance<FileBookmarkStore>::get(
        [] { return std::make_unique<FileBookmarkStore>(QStringLiteral("bookmarks")); });
}

void FileBookmarkStore::setShared(std::unique_ptr<FileBookmarkStore> store)
{
    SharedInstance<FileBookmarkStore>::set(std::move(store));
}

std::optional<QByteArray> FileBookmarkStore::storedData() const
{
    const QVariant value = Platform::UserDefaults::standard().value(m_userDefaultsKey);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

QList<QByteArray> FileBookmarkStore::bookmarkData() const
{
    const auto stored = storedData();
    if (!stored)
        return {};
    const QVariant root = Platform::PropertyList::parse(*stored);
    if (root.typeId() != QMetaType::QVariantList)
        return {};
    QList<QByteArray> data;
    for (const QVariant &element : root.toList()) {
        if (element.typeId() != QMetaType::QByteArray)
            return {};
        data.append(element.toByteArray());
    }
    return data;
}

void FileBookmarkStore::setBookmarkData(const QList<QByteArray> &data)
{
    QVariantList list;
    list.reserve(data.size());
    for (const QByteArray &element : data)
        list.append(element);
    const QByteArray archive = Platform::PropertyList::toBinary(list);
    if (archive.isEmpty())
        return;
    auto &defaults = Platform::UserDefaults::standard();
    defaults.setValue(m_userDefaultsKey, archive);
    defaults.synchronize();
}

QList<QUrl> FileBookmarkStore::urls()
{
    QList<QByteArray> data = bookmarkData();
    QList<QUrl> locations;
    bool refreshed = false;
    for (QByteArray &element : data) {
        const auto resolution = FileBookmark::resolve(element);
        if (!resolution)
            continue;
        if (resolution->isStale) {
            if (const auto fresh = FileBookmark::create(resolution->location)) {
                element = *fresh;
                refreshed = true;
            }
        }
        locations.append(resolution->location);
    }
    if (refreshed)
        setBookmarkData(data);
    return locations;
}

void FileBookmarkStore::setUrls(const QList<QUrl> &locations)
{
    QList<QByteArray> data;
    for (const QUrl &location : locations) {
        if (const auto bookmark = FileBookmark::create(location))
            data.append(*bookmark);
    }
    setBookmarkData(data);
}

} // namespace KivUtilities
