#pragma once

#include <QString>

namespace KivDesktopBackground {

// The sentences that tell a person what became of a picture, each naming it as they know it
// (PictureOrigin).
class PictureNames
{
public:
    // "The picture “…” cannot be found."
    static QString notFoundMessage(const QString &path);
    // "The picture “<name>” cannot be shown: <reason>."
    static QString cannotBeShown(const QString &path, const QString &reason);
};

} // namespace KivDesktopBackground
