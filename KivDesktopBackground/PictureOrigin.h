#pragma once

#include <QString>

namespace KivDesktopBackground {

// Where a copy of a picture came from, as the file system notes it on the copy: a person knows the copy
// by the file they chose, not by the program's name for it.
class PictureOrigin
{
public:
    // The name a person knows the picture at `path` by: the file it was copied from, where the copy
    // records one (recordOrigin); otherwise the path itself.
    static QString nameOf(const QString &path);
    // Records on the picture `copy` the file it was copied from (the desktop's "user.xdg.origin.url"),
    // where the file system keeps such a note.
    static void recordOrigin(const QString &copy, const QString &source);
};

} // namespace KivDesktopBackground
