#include "zip/ZipWriter.h"

#include "zip/ZipError.h"

#include <QDate>
#include <QFile>
#include <QTime>

#include <minizip/zip.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace Zip {

namespace {

// Entry names are UTF-8; bit 11 of the general purpose flag says so to other tools.
constexpr uLong utf8NameFlag = 1 << 11;

zip_fileinfo fileInfo(const std::optional<QDateTime> &modified)
{
    zip_fileinfo info;
    std::memset(&info, 0, sizeof(info));
    if (modified && modified->isValid()) {
        const QDateTime local = modified->toLocalTime();
        const QDate date = local.date();
        const QTime time = local.time();
        info.tmz_date.tm_sec = uInt(time.second());
        info.tmz_date.tm_min = uInt(time.minute());
        info.tmz_date.tm_hour = uInt(time.hour());
        info.tmz_date.tm_mday = uInt(date.day());
        info.tmz_date.tm_mon = uInt(date.month() - 1);
        info.tmz_date.tm_year = uInt(date.year());
    }
    return info;
}

} // namespace

ZipWriter::ZipWriter(const QString &zipFilePath, const std::optional<QString> &password,
                     ZipCompression compression)
    : m_path(zipFilePath)
    , m_archive(zipOpen64(QFile::encodeName(zipFilePath).constData(), APPEND_STATUS_CREATE))
    , m_password(password ? password->toUtf8() : QByteArray())
    , m_hasPassword(password.has_value())
    , m_level(compressionLevel(compression))
{
    if (!m_archive)
        throw ZipError(ZipError::zipFail);
}

ZipWriter::~ZipWriter()
{
    if (m_finished)
        return;
    if (m_archive)
        zipClose(m_archive, nullptr);
    QFile::remove(m_path);
}

void ZipWriter::beginEntry(const QString &name, const std::optional<QDateTime> &modified)
{
    if (m_entryOpen)
        endEntry();
    if (!m_archive || name.isEmpty())
        throw ZipError(ZipError::zipFail);
    const zip_fileinfo info = fileInfo(modified);
    if (zipOpenNewFileInZip4(m_archive, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                             Z_DEFLATED, m_level, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                             m_hasPassword ? m_password.constData() : nullptr, 0, 0, utf8NameFlag)
        != ZIP_OK)
        throw ZipError(ZipError::zipFail);
    m_entryOpen = true;
    ++m_entryCount;
}

void ZipWriter::write(QByteArrayView bytes)
{
    if (!m_entryOpen)
        throw ZipError(ZipError::zipFail);
    // The library takes at most an unsigned int's worth at a time.
    const char *data = bytes.data();
    for (qsizetype left = bytes.size(); left > 0;) {
        const auto count = unsigned(std::min<qsizetype>(left, INT_MAX));
        if (zipWriteInFileInZip(m_archive, data, count) != ZIP_OK)
            throw ZipError(ZipError::zipFail);
        data += count;
        left -= qsizetype(count);
    }
}

void ZipWriter::endEntry()
{
    if (!m_entryOpen)
        return;
    m_entryOpen = false;
    if (zipCloseFileInZip(m_archive) != ZIP_OK)
        throw ZipError(ZipError::zipFail);
}

void ZipWriter::finish()
{
    endEntry();
    const int result = zipClose(m_archive, nullptr);
    m_archive = nullptr;
    if (result != ZIP_OK)
        throw ZipError(ZipError::zipFail);
    m_finished = true;
}

} // namespace Zip
