#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace KivUtilities {

// Keeps file bookmarks in the standard user defaults: under userDefaultsKey, one data value holding
// a binary property list whose root is an array of bookmark data, in the order the locations were
// added. Nothing here throws or reports: unreadable values read as no bookmarks.
//
// No locking of its own: a caller that shares a store between threads serialises its calls.
class FileBookmarkStore
{
public:
    explicit FileBookmarkStore(QString userDefaultsKey);

    // The process-wide store under "bookmarks", made on first use; it can be replaced.
    static FileBookmarkStore &shared();
    static void setShared(std::unique_ptr<FileBookmarkStore> store);

    QString userDefaultsKey() const { return m_userDefaultsKey; }

    // The stored value when it is data.
    std::optional<QByteArray> storedData() const;

    // The bookmarks; empty when nothing is stored or the value is not an array of data.
    QList<QByteArray> bookmarkData() const;
    // Replaces the stored bookmarks; a list that cannot be encoded leaves the value unchanged.
    void setBookmarkData(const QList<QByteArray> &data);

    // The locations of the bookmarks that resolve, in order. A bookmark whose path now names a
    // replaced file still resolves to its path; its data is refreshed in place so that it describes
    // the file now there. Bookmarks that no longer resolve are skipped (and stay stored).
    QList<QUrl> urls();
    // Replaces the stored bookmarks by fresh ones for the locations; locations for which no bookmark
    // can be made (nothing there) are left out.
    void setUrls(const QList<QUrl> &locations);

private:
    QString m_userDefaultsKey;
};

} // namespace KivUtilities
