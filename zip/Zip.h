#pragma once

#include "zip/ArchiveFile.h"
#include "zip/ZipCompression.h"
#include "zip/ZipError.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace Zip {

using ProgressHandler = std::function<void(double)>;
using FileOutputHandler = std::function<void(const QString &path)>;
// Whether an entry, by its name in the archive, is unpacked.
using EntryFilter = std::function<bool(const QString &name)>;
// Told, after each piece of an entry it unpacks, the entry's name, how many bytes of the archive were
// read for its data so far and how many it unpacked to so far; throws to stop the unpacking.
using UnpackingCheck = std::function<void(const QString &name, qint64 read, qint64 written)>;

// Packs files into zip archives and unpacks them, over minizip. Every operation is synchronous and
// runs on the caller's thread; failures throw ZipError.
class Zip
{
public:
    Zip() = delete;

    // Unpacking refuses archives whose entries together would unpack to more than this.
    static constexpr qint64 maximumUnpackedSize = qint64(1) << 30;

    // Packs files and folders (a folder by its contents, under its own name) into a new archive at
    // zipFilePath. On failure the partial archive is removed and zipFail is thrown.
    static void zipFiles(const QStringList &paths, const QString &zipFilePath,
                         const std::optional<QString> &password = std::nullopt,
                         ZipCompression compression = ZipCompression::DefaultCompression,
                         const ProgressHandler &progress = {});

    // Packs in-memory files; empty ones are skipped.
    static void zipData(const QList<ArchiveFile> &archiveFiles, const QString &zipFilePath,
                        const std::optional<QString> &password = std::nullopt,
                        ZipCompression compression = ZipCompression::DefaultCompression,
                        const ProgressHandler &progress = {});

    // Unpacks the archive into destination (created when missing). Entries that would land outside
    // destination (by their names or through symbolic links standing in it), and archives that
    // would unpack to more than maximumUnpackedSize, are refused. Given a filter, only the entries
    // it takes are unpacked; the others are passed over without being read. A stored entry is read
    // to its declared size, not beyond; its CRC tells whether that was its data.
    static void unzipFile(const QString &zipFilePath, const QString &destination, bool overwrite,
                          const std::optional<QString> &password = std::nullopt,
                          const ProgressHandler &progress = {},
                          const FileOutputHandler &fileOutputHandler = {}, const EntryFilter &filter = {},
                          const UnpackingCheck &check = {});

    struct EntryInfo
    {
        QString name;
        qint64 uncompressedSize = 0; // as the archive declares it; unpacking never writes more
        qint64 compressedSize = 0; // as declared
    };
    // The entries of an archive, in archive order, without unpacking anything; all that its directory
    // holds, also past a count that wrapped beyond 65,535. Throws unzipFail for what is not a readable
    // archive.
    static QList<EntryInfo> entries(const QString &zipFilePath);

    // Unpack into, or pack from, the user's documents folder.
    static QString quickUnzipFile(const QString &zipFilePath, const ProgressHandler &progress = {});
    static QString quickZipFiles(const QStringList &paths, const QString &fileName,
                                 const ProgressHandler &progress = {});

    // Extensions besides "zip" and "cbz" that unzipFile accepts, for the life of the process.
    static void addCustomFileExtension(const QString &fileExtension);
    static void removeCustomFileExtension(const QString &fileExtension);
    static bool isValidFileExtension(const QString &fileExtension);
};

} // namespace Zip
