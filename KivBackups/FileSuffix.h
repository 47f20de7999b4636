#pragma once

#include <QString>

namespace KivBackups {

// Renames one file to add or remove a marker in its name ("-locked"). A rename never replaces
// another file, and a name that already is what was asked for is left alone.
class FileSuffix
{
public:
    explicit FileSuffix(QString path);

    // The path with the suffix placed before the extension, or the path itself when its base name
    // already holds the suffix.
    static QString pathAdding(const QString &path, const QString &suffix);
    // The path with every occurrence of the suffix removed from the file name.
    static QString pathRemoving(const QString &path, const QString &suffix);

    // Both rename the file and return the new path; they throw BackupError when the move fails.
    QString add(const QString &suffix) const;
    QString remove(const QString &suffix) const;

    const QString &path() const { return m_path; }

private:
    QString moveTo(const QString &newPath) const;

    QString m_path;
};

} // namespace KivBackups
