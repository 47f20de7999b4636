#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

namespace Platform {

// Reading a file that another application or the user put in place. Whatever stands at such a path
// may be a named pipe, a device or a socket: an ordinary open of a pipe waits for a writer that may
// never come, and a device may never end. These are opened without waiting and refused unless they
// turn out to be regular files (symbolic links followed; a loop of links, or a link that leads to
// nothing, fails at once).
namespace RegularFile {

// Opens `path` read-only into `file` (which must not be open) when it is a regular file of at most
// `maxBytes` (no limit when negative). Nothing when it worked; otherwise why not, and `file` stays
// closed. The file is opened from the descriptor that was looked at, so `file` has no name.
std::optional<QString> open(QFile &file, const QString &path, qint64 maxBytes = -1);

struct Contents
{
    std::optional<QByteArray> bytes;
    QString error; // why there are no bytes
};

// The whole file when it is a regular file of at most `maxBytes` (0 or more); a file that grows past the
// limit while it is read is refused too.
Contents read(const QString &path, qint64 maxBytes);

// The reason given for a path that is no regular file.
QString notRegularReason();
// The reason given for a symbolic link whose file (or a folder on its way) does not exist.
QString danglingLinkReason();

} // namespace RegularFile

} // namespace Platform
