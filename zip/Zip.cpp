#include "zip/Zip.h"

#include "platform/Home.h"
#include "zip/ZipUtilities.h"
#include "zip/ZipWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QTime>
#include <QtEndian>

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace Zip {

namespace {

constexpr qint64 zipBufferSize = 16384;
constexpr qint64 unzipBufferSize = 65536;
QMutex extensionsMutex;
QSet<QString> &customExtensions()
{
    static QSet<QString> extensions;
    return extensions;
}

// An open archive. While entry data is read (see readingData), a read that the end of the file cuts
// short is filled up with zeros: minizip reads an entry's data in pieces of the compressed size it
// knows, and of an entry whose sizes are in zip64 fields it knows none, so that its last piece would
// run past the end of the file and fail. Deflated data ends where its stream does, before the zeros;
// stored data is read to its size and no further. Headers are never filled up. The bytes of the
// file read for an entry's data are counted, the zeros not.
class ArchiveReader
{
public:
    explicit ArchiveReader(const QString &path)
    {
        fill_fopen64_filefunc(&m_plain);
        zlib_filefunc64_def padded = m_plain;
        // The file functions of the plain set ignore their opaque value.
        padded.opaque = this;
        padded.zread_file = &ArchiveReader::read;
        m_archive = unzOpen2_64(QFile::encodeName(path).constData(), &padded);
    }
    ~ArchiveReader()
    {
        if (m_archive)
            unzClose(m_archive);
    }
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    unzFile handle() const { return m_archive; }
    void readingData(bool reading) { m_readingData = reading; }
    // Of the current entry's data, from the last call of startEntry() on.
    qint64 dataRead() const { return m_dataRead; }
    void startEntry() { m_dataRead = 0; }

private:
    static uLong ZCALLBACK read(voidpf opaque, voidpf stream, void *buffer, uLong size)
    {
        auto *self = static_cast<ArchiveReader *>(opaque);
        const uLong count = self->m_plain.zread_file(self->m_plain.opaque, stream, buffer, size);
        if (!self->m_readingData)
            return count;
        self->m_dataRead += qint64(count);
        if (count >= size || self->m_plain.zerror_file(self->m_plain.opaque, stream))
            return count;
        std::memset(static_cast<char *>(buffer) + count, 0, size - count);
        return size;
    }

    zlib_filefunc64_def m_plain {};
    bool m_readingData = false;
    qint64 m_dataRead = 0;
    unzFile m_archive = nullptr;
};

bool isAsciiText(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}

// minizip 1.1 does not take the sizes that an entry of the central directory keeps in its zip64
// extra field (where the 32-bit fields hold 0xFFFFFFFF): they are read here, so that every check and
// every read goes by the sizes the archive really declares. A field that is missing or cut short
// leaves the size at 0xFFFFFFFF, which the size limits refuse.
void takeZip64Sizes(unz_file_info64 &info, QByteArrayView extra)
{
    constexpr ZPOS64_T inExtraField = 0xffffffffu;
    constexpr quint16 zip64Field = 0x0001;
    const bool uncompressed = info.uncompressed_size == inExtraField;
    const bool compressed = info.compressed_size == inExtraField;
    qsizetype at = 0;
    while ((uncompressed || compressed) && at + 4 <= extra.size()) {
        const quint16 id = qFromLittleEndian<quint16>(extra.data() + at);
        const qsizetype size = qFromLittleEndian<quint16>(extra.data() + at + 2);
        at += 4;
        if (size > extra.size() - at)
            return;
        if (id == zip64Field) {
            // The sizes come in this order, each only when its 32-bit field is full.
            qsizetype field = at;
            for (ZPOS64_T *value : {uncompressed ? &info.uncompressed_size : nullptr,
                                    compressed ? &info.compressed_size : nullptr}) {
                if (!value)
                    continue;
                if (field + 8 > at + size)
                    return;
                *value = qFromLittleEndian<quint64>(extra.data() + field);
                field += 8;
            }
            return;
        }
        at += size;
    }
}

// The name and the information of the current entry, with its real sizes; throws unzipFail when
// they cannot be read.
QByteArray currentEntry(unzFile archive, unz_file_info64 &info)
{
    if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        throw ZipError(ZipError::unzipFail);
    QByteArray rawName(qsizetype(info.size_filename) + 1, '\0');
    QByteArray extra(qsizetype(info.size_file_extra), '\0');
    if (unzGetCurrentFileInfo64(archive, &info, rawName.data(), uLong(rawName.size()), extra.data(),
                                uLong(extra.size()), nullptr, 0)
        != UNZ_OK)
        throw ZipError(ZipError::unzipFail);
    rawName.truncate(qsizetype(info.size_filename));
    takeZip64Sizes(info, extra);
    return rawName;
}

// The declared sizes of all entries, read before anything is written, so an archive that would
// fill the disk is refused as a whole.
qint64 declaredUnpackedSize(unzFile archive)
{
    qint64 total = 0;
    int result = unzGoToFirstFile(archive);
    while (result == UNZ_OK) {
        unz_file_info64 info;
        currentEntry(archive, info);
        if (info.uncompressed_size > quint64(Zip::maximumUnpackedSize))
            return Zip::maximumUnpackedSize + 1;
        total += qint64(info.uncompressed_size);
        if (total > Zip::maximumUnpackedSize)
            return total;
        result = unzGoToNextFile(archive);
    }
    if (result != UNZ_END_OF_LIST_OF_FILE)
        throw ZipError(ZipError::unzipFail);
    return total;
}

bool isWithin(const QString &path, const QString &folder)
{
    return path == folder
        || path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

// Whether the nearest existing folder of `path` (itself, or its closest ancestor that exists)
// resolves, links followed, to canonicalRoot or below it. A dangling link resolves nowhere.
bool resolvesWithin(const QString &path, const QString &canonicalRoot)
{
    QFileInfo info(path);
    while (!info.exists() && !info.isSymLink()) {
        const QString parent = info.path();
        if (parent == info.filePath())
            return false;
        info = QFileInfo(parent);
    }
    const QString canonical = info.canonicalFilePath();
    return !canonical.isEmpty() && isWithin(canonical, canonicalRoot);
}

} // namespace

void Zip::zipFiles(const QStringList &paths, const QString &zipFilePath,
                   const std::optional<QString> &password, ZipCompression compression,
                   const ProgressHandler &progress)
{
    const QList<ZipUtilities::ProcessedFilePath> entries = ZipUtilities(true).processZipPaths(paths);
    qint64 totalSize = 0;
    for (const auto &entry : entries)
        totalSize += QFileInfo(entry.filePath).size();

    ZipWriter writer(zipFilePath, password, compression);
    std::vector<char> buffer(zipBufferSize);
    qint64 position = 0;
    for (const auto &entry : entries) {
        const QFileInfo info(entry.filePath);
        if (info.isDir())
            continue;
        QFile file(entry.filePath);
        if (!file.open(QIODevice::ReadOnly))
            throw ZipError(ZipError::zipFail);
        if (!entry.fileName || entry.fileName->isEmpty())
            throw ZipError(ZipError::zipFail);

        std::optional<QDateTime> modified;
        if (info.exists()) {
            modified = info.lastModified();
            position += info.size();
        }
        writer.beginEntry(*entry.fileName, modified);
        for (;;) {
            const qint64 count = file.read(buffer.data(), zipBufferSize);
            if (count < 0)
                throw ZipError(ZipError::zipFail);
            if (count == 0)
                break;
            writer.write(QByteArrayView(buffer.data(), count));
        }
        writer.endEntry();
        // The last report is always the final 1.0 below, sent once.
        if (progress && totalSize > 0 && position < totalSize)
            progress(double(position) / double(totalSize));
    }
    writer.finish();
    if (progress)
        progress(1.0);
}

void Zip::zipData(const QList<ArchiveFile> &archiveFiles, const QString &zipFilePath,
                  const std::optional<QString> &password, ZipCompression compression,
                  const ProgressHandler &progress)
{
    qint64 totalSize = 0;
    for (const ArchiveFile &file : archiveFiles)
        totalSize += file.data.size();

    ZipWriter writer(zipFilePath, password, compression);
    qint64 written = 0;
    for (const ArchiveFile &file : archiveFiles) {
        if (file.data.isEmpty())
            continue;
        if (file.filename.isEmpty() || file.data.size() > qint64(0xffffffffu))
            throw ZipError(ZipError::zipFail);
        writer.beginEntry(file.filename, file.modifiedTime);
        writer.write(file.data);
        writer.endEntry();
        written += file.data.size();
        if (progress && totalSize > 0 && written < totalSize)
            progress(double(written) / double(totalSize));
    }
    writer.finish();
    if (progress)
        progress(1.0);
}

void Zip::unzipFile(const QString &zipFilePath, const QString &destination, bool overwrite,
                    const std::optional<QString> &password, const ProgressHandler &progress,
                    const FileOutputHandler &fileOutputHandler, const EntryFilter &filter,
                    const UnpackingCheck &check)
{
    const QFileInfo archiveInfo(zipFilePath);
    if (!archiveInfo.exists() || !isValidFileExtension(archiveInfo.suffix()))
        throw ZipError(ZipError::fileNotFound);
    const double totalSize = double(archiveInfo.size());

    ArchiveReader reader(zipFilePath);
    unzFile archive = reader.handle();
    if (!archive || unzGoToFirstFile(archive) != UNZ_OK)
        throw ZipError(ZipError::unzipFail);
    if (declaredUnpackedSize(archive) > maximumUnpackedSize)
        throw ZipError(ZipError::unzipFail);
    if (unzGoToFirstFile(archive) != UNZ_OK)
        throw ZipError(ZipError::unzipFail);

    const QString root = QDir::cleanPath(QFileInfo(destination).absoluteFilePath());
    QDir().mkpath(root);
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    if (canonicalRoot.isEmpty())
        throw ZipError(ZipError::unzipFail);
    const QByteArray passwordBytes = password && isAsciiText(*password) ? password->toLatin1() : QByteArray();
    std::vector<char> buffer(unzipBufferSize);
    double position = 0;
    int next = UNZ_OK;
    do {
        if (filter) {
            unz_file_info64 info;
            if (!filter(QString::fromUtf8(currentEntry(archive, info)))) {
                next = unzGoToNextFile(archive);
                continue;
            }
        }
        const int opened = passwordBytes.isNull()
            ? unzOpenCurrentFile(archive)
            : unzOpenCurrentFilePassword(archive, passwordBytes.constData());
        if (opened != UNZ_OK)
            throw ZipError(ZipError::unzipFail);

        unz_file_info64 info;
        QByteArray rawName;
        try {
            rawName = currentEntry(archive, info);
        } catch (const ZipError &) {
            unzCloseCurrentFile(archive);
            throw;
        }
        if (rawName.isEmpty()) {
            unzCloseCurrentFile(archive);
            throw ZipError(ZipError::unzipFail);
        }
        const bool isDirectory = rawName.endsWith('/') || rawName.endsWith('\\');
        QString name = QString::fromUtf8(rawName);
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));

        const QString fullPath = QDir::cleanPath(root + QLatin1Char('/') + name);
        if (!isWithin(fullPath, root)) {
            unzCloseCurrentFile(archive);
            throw ZipError(ZipError::unzipFail);
        }

        // A linked folder standing in the destination would carry the entry somewhere else: its
        // nearest existing folder must resolve inside the destination before anything is made.
        const QString folder = isDirectory ? fullPath : QFileInfo(fullPath).path();
        if (!resolvesWithin(folder, canonicalRoot) || !QDir().mkpath(folder)
            || !resolvesWithin(folder, canonicalRoot)) {
            unzCloseCurrentFile(archive);
            throw ZipError(ZipError::unzipFail);
        }

        const QFileInfo target(fullPath);
        if (!overwrite && target.exists() && !isDirectory) {
            unzCloseCurrentFile(archive);
            next = unzGoToNextFile(archive);
            continue;
        }
        position += double(info.compressed_size);

        qint64 written = 0;
        // minizip checks the CRC only of an entry whose size it knows, which a zip64 one's it may not.
        uLong crc = crc32(0, nullptr, 0);
        // Nor does it know where a stored zip64 entry ends: it would copy on into what follows.
        const bool stored = info.compression_method == 0;
        reader.startEntry();
        if (!isDirectory) {
            // A link left in the destination must not carry the write somewhere else.
            if (target.isSymLink()) {
                unzCloseCurrentFile(archive);
                throw ZipError(ZipError::unzipFail);
            }
            QFile file(fullPath);
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                for (;;) {
                    const qint64 wanted = stored
                        ? std::min(qint64(buffer.size()), qint64(info.uncompressed_size) - written)
                        : qint64(buffer.size());
                    if (wanted <= 0)
                        break;
                    reader.readingData(true);
                    const int count = unzReadCurrentFile(archive, buffer.data(), unsigned(wanted));
                    reader.readingData(false);
                    if (count < 1)
                        break;
                    // Never write more than the entry declared: the size check above relies on it.
                    if (written + count > qint64(info.uncompressed_size)
                        || file.write(buffer.data(), count) != count) {
                        file.close();
                        unzCloseCurrentFile(archive);
                        throw ZipError(ZipError::unzipFail);
                    }
                    written += count;
                    crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer.data()), uInt(count));
                    if (check)
                        check(name, reader.dataRead(), written);
                }
                if (!file.flush()) {
                    unzCloseCurrentFile(archive);
                    throw ZipError(ZipError::unzipFail);
                }
                file.close();
            }
        }

        const int closed = unzCloseCurrentFile(archive);
        if (closed != UNZ_OK || written != qint64(info.uncompressed_size)
            || (!isDirectory && crc != info.crc))
            throw ZipError(ZipError::unzipFail);

        if (!isDirectory && info.external_fa != 0) {
            const mode_t mode = mode_t((info.external_fa >> 16) & 0777);
            if (mode >= 0400 && ::chmod(QFile::encodeName(fullPath).constData(), mode) != 0)
                qWarning("Failed to set permissions to file %s, error: %s", qPrintable(fullPath),
                         std::strerror(errno));
        }

        next = unzGoToNextFile(archive);
        if (progress && totalSize > 0)
            progress(position / totalSize);
        if (fileOutputHandler)
            fileOutputHandler(fullPath);
    } while (next == UNZ_OK);

    if (next != UNZ_END_OF_LIST_OF_FILE)
        throw ZipError(ZipError::unzipFail);
    if (progress)
        progress(1.0);
}

QList<Zip::EntryInfo> Zip::entries(const QString &zipFilePath)
{
    ArchiveReader reader(zipFilePath);
    unzFile archive = reader.handle();
    if (!archive)
        throw ZipError(ZipError::unzipFail);
    QList<EntryInfo> result;
    int next = unzGoToFirstFile(archive);
    // Where the next entry's header begins in the directory.
    ZPOS64_T header = next == UNZ_OK ? unzGetOffset64(archive) : 0;
    bool pastCount = false;
    while (next == UNZ_OK) {
        unz_file_info64 info;
        const QByteArray name = currentEntry(archive, info);
        const auto bounded = [](quint64 size) {
            return qint64(std::min<quint64>(size, quint64(std::numeric_limits<qint64>::max())));
        };
        result.append(
            {QString::fromUtf8(name), bounded(info.uncompressed_size), bounded(info.compressed_size)});
        constexpr ZPOS64_T fixedHeaderSize = 46;
        header += fixedHeaderSize + info.size_filename + info.size_file_extra + info.size_file_comment;
        if (!pastCount)
            next = unzGoToNextFile(archive);
        // An archive of more than 65,535 entries without zip64 fields counts them modulo 65,536: its
        // directory goes on past the count, and what is beyond it would be hidden. A directory ends
        // where its last header does, so a header there is an entry too.
        if (next == UNZ_END_OF_LIST_OF_FILE || pastCount) {
            pastCount = true;
            next = unzSetOffset64(archive, header) == UNZ_OK ? UNZ_OK : UNZ_END_OF_LIST_OF_FILE;
        }
    }
    if (next != UNZ_END_OF_LIST_OF_FILE)
        throw ZipError(ZipError::unzipFail);
    return result;
}

QString Zip::quickUnzipFile(const QString &zipFilePath, const ProgressHandler &progress)
{
    const QFileInfo info(zipFilePath);
    QString folderName = info.fileName();
    folderName.remove(QLatin1Char('.') + info.suffix());
    const QString destination = QDir(Platform::Home::path(QStringLiteral("Documents"))).filePath(folderName);
    try {
        unzipFile(zipFilePath, destination, true, std::nullopt, progress);
    } catch (const std::exception &) {
        throw ZipError(ZipError::unzipFail);
    }
    return destination;
}

QString Zip::quickZipFiles(const QStringList &paths, const QString &fileName, const ProgressHandler &progress)
{
    const QString documents = Platform::Home::path(QStringLiteral("Documents"));
    QDir().mkpath(documents);
    const QString archive = QDir(documents).filePath(fileName + QStringLiteral(".zip"));
    zipFiles(paths, archive, std::nullopt, ZipCompression::DefaultCompression, progress);
    return archive;
}

void Zip::addCustomFileExtension(const QString &fileExtension)
{
    QMutexLocker lock(&extensionsMutex);
    customExtensions().insert(fileExtension);
}

void Zip::removeCustomFileExtension(const QString &fileExtension)
{
    QMutexLocker lock(&extensionsMutex);
    customExtensions().remove(fileExtension);
}

bool Zip::isValidFileExtension(const QString &fileExtension)
{
    if (fileExtension == QLatin1String("zip") || fileExtension == QLatin1String("cbz"))
        return true;
    QMutexLocker lock(&extensionsMutex);
    return customExtensions().contains(fileExtension);
}

} // namespace Zip
