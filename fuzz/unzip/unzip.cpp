// Unpacking an archive into a folder, as a restore does. Anything that appears outside that
// folder is a crash; so is a link inside it.

#include "zip/Zip.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir base;
    const QString work = base.filePath(QStringLiteral("work"));
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    const QString archive = work + QStringLiteral("/in.zip");
    const QString destination = work + QStringLiteral("/out");
    {
        QFile file(archive);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    try {
        Zip::Zip::unzipFile(archive, destination, true);
    } catch (const Zip::ZipError &) {
    }
    QDirIterator it(base.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const bool inside = path == work || path == archive || path == destination
            || path.startsWith(destination + '/');
        if (!inside || it.fileInfo().isSymLink()) {
            std::fprintf(stderr, "unpacking wrote %s\n", qPrintable(path));
            std::abort();
        }
    }
    return 0;
}
