#pragma once

#include <QString>

namespace KivDesktopBackground {

// The names by which a person knows a picture, and the sentences that name it.
class PictureNames
{
public:
    // The name a person knows the picture at `path` by: the file it was copied from, where the copy
    // records one (recordOrigin); otherwise the path itself.
    static QString nameOf(const QString &path);
    // Records on the picture `copy` the file it was copied from (the desktop's "user.xdg.origin.url"),
    // where the file system keeps such a note.
    static void recordOrigin(const QString &copy, const QString &source);

    // "The picture “…” cannot be found."
    static QString notFoundMessage(const QString &path);
    // "The picture “<name>” cannot be shown: <reason>."
    static QString cannotBeShown(const QString &path, const QString &reason);
};

} // namespace KivDesktopBackground
