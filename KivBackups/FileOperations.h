#pragma once

#include <QString>

namespace KivBackups::FileOperations {

// Moves a file to a new path, never replacing what is already there. Throws BackupError; its code
// is EEXIST when the target exists.
void moveWithoutReplacing(const QString &from, const QString &to);

// A locked backup is marked by its owner-write permission being cleared, so neither this program
// nor a careless tool rewrites it.
bool isImmutable(const QString &path);
void setImmutable(const QString &path, bool immutable);

// Removes a file; throws BackupError when it cannot.
void remove(const QString &path);

} // namespace KivBackups::FileOperations
