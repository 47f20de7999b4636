#pragma once

#include <QUrl>

namespace KivUtilities {

class FileBookmarkStore;

// Restores and extends access to the locations the user once chose. Made on a store, it opens access
// to every stored location for the rest of the process. The store must outlive the controller.
class FileBookmarkController
{
public:
    explicit FileBookmarkController(FileBookmarkStore &store);

    FileBookmarkStore &store() const { return m_store; }

    // Whether the file at the location can be read.
    bool isReadable(const QUrl &location) const;
    // Whether a stored location is the location or a folder that contains it (path separator
    // required: a folder "F" does not cover "F2/x"). Every bookmark is resolved afresh.
    bool hasAccess(const QUrl &location) const;
    // Stores a bookmark for a location not yet covered (rewriting all bookmarks, which forgets those
    // that no longer resolve) and opens access to it.
    void grantAccess(const QUrl &location);

private:
    FileBookmarkStore &m_store;
};

} // namespace KivUtilities
