#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <optional>

namespace KivUtilities {

// Bookmark data for a file or folder: a small binary property list holding the location's absolute
// path and the device and inode of what it named when the bookmark was made. Resolving gives the
// path back; a bookmark is stale when the path now names another file (one that was replaced), and
// does not resolve when nothing is at the path any more (the file was moved or deleted).
//
// This system has no sandbox: starting and stopping access always succeed. The locations whose
// access was started are remembered for the life of the process.
class FileBookmark
{
public:
    // Absent when the location is not a local file that exists.
    static std::optional<QByteArray> create(const QUrl &location);

    struct Resolution
    {
        QUrl location;
        bool isStale = false;
    };
    // Absent when the data is no bookmark or nothing is at its path.
    static std::optional<Resolution> resolve(const QByteArray &data);

    // The location's absolute, cleaned path; empty for anything but a local file.
    static QString pathOf(const QUrl &location);

    static bool startAccessing(const QUrl &location);
    static void stopAccessing(const QUrl &location);
    // Locations whose access is open, in the order it was started (once each).
    static QList<QUrl> accessedLocations();
};

} // namespace KivUtilities
