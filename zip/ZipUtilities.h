#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace Zip {

// Turns the files and folders handed to Zip::zipFiles into the list of entries to write.
class ZipUtilities
{
public:
    struct ProcessedFilePath
    {
        QString filePath; // the file on disk
        std::optional<QString> fileName; // the entry name inside the archive

        bool operator==(const ProcessedFilePath &) const = default;
    };

    explicit ZipUtilities(bool includeRootDirectory = true);

    // A folder contributes every file below it; anything else contributes itself, named by its
    // last path component.
    QList<ProcessedFilePath> processZipPaths(const QStringList &paths) const;

    // Every file below the folder (hidden ones included, sorted), named by the folder's name joined
    // with the relative path by "/". Folders themselves give no entry.
    QList<ProcessedFilePath> expandDirectoryFilePath(const QString &directory) const;

    bool includeRootDirectory() const { return m_includeRootDirectory; }

private:
    bool m_includeRootDirectory;
};

} // namespace Zip
