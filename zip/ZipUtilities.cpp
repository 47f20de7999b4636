#include "zip/ZipUtilities.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace Zip {

ZipUtilities::ZipUtilities(bool includeRootDirectory)
    : m_includeRootDirectory(includeRootDirectory)
{ }

QList<ZipUtilities::ProcessedFilePath> ZipUtilities::processZipPaths(const QStringList &paths) const
{
    QList<ProcessedFilePath> result;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir())
            result += expandDirectoryFilePath(path);
        else
            result.append({path, info.fileName()});
    }
    return result;
}

QList<ZipUtilities::ProcessedFilePath> ZipUtilities::expandDirectoryFilePath(const QString &directory) const
{
    const QDir root(directory);
    const QString rootName = QFileInfo(QDir::cleanPath(directory)).fileName();
    QStringList relativePaths;
    QDirIterator it(directory, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).isDir())
            continue;
        relativePaths.append(root.relativeFilePath(path));
    }
    // The file system's order is arbitrary; a sorted list makes archives of equal folders equal.
    relativePaths.sort();

    QList<ProcessedFilePath> result;
    for (const QString &relative : std::as_const(relativePaths)) {
        const QString name = m_includeRootDirectory ? rootName + QLatin1Char('/') + relative : relative;
        result.append({root.filePath(relative), name});
    }
    return result;
}

} // namespace Zip
