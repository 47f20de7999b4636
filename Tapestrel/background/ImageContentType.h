#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The picture format a file holds, told by its first bytes rather than by its name: a picture
// exported without an extension, or under the wrong one, still gets a name that says what it is.
class ImageContentType
{
public:
    // How many leading bytes extensionsFor() looks at.
    static constexpr qsizetype headLength = 64;

    // The usual file-name extensions (lower case, the preferred one first) of the format that a file
    // beginning with `head` holds: PNG, JPEG, HEIC, HEIF, WebP, GIF, TIFF or BMP. Empty when the
    // bytes are none of these.
    static QStringList extensionsFor(const QByteArray &head);

    // The extension to store a copy of a file under, given its name and its first bytes: the file's
    // own extension when it names the format of the content (so "IMG.JPG" stays "JPG"), the format's
    // preferred one when it does not, and when the content is none of the known formats the file's
    // own extension, or "jpg" when it has none.
    static QString extensionFor(const QString &fileName, const QByteArray &head);
};
