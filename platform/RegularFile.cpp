#include "platform/RegularFile.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform::RegularFile {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RegularFile", text);
}

QString errnoReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString tooLargeReason(qint64 size)
{
    return tr("the file is too large (%1 bytes)").arg(size);
}

} // namespace

QString notRegularReason()
{
    return tr("it is not a regular file");
}

QString danglingLinkReason()
{
    return tr("it is a link to a file that does not exist");
}

std::optional<QString> open(QFile &file, const QString &path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return errnoReason(ENOENT);
    // Looked at before it is opened, so that a device is never opened (opening some has effects of
    // its own); then looked at again through a descriptor opened without waiting, in case a pipe took
    // its place meanwhile (an ordinary open of a pipe waits for a writer).
    struct stat status;
    if (::stat(name.constData(), &status) != 0) {
        const int error = errno;
        if (error == ENOENT && ::lstat(name.constData(), &status) == 0 && S_ISLNK(status.st_mode))
            return danglingLinkReason();
        return errnoReason(error);
    }
    if (!S_ISREG(status.st_mode))
        return notRegularReason();
    const int descriptor = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return errnoReason(errno);
    if (::fstat(descriptor, &status) != 0) {
        const int error = errno;
        ::close(descriptor);
        return errnoReason(error);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return notRegularReason();
    }
    if (maxBytes >= 0 && status.st_size > maxBytes) {
        ::close(descriptor);
        return tooLargeReason(status.st_size);
    }
    // The descriptor just looked at is the one read: opening the path again could meet a pipe that took
    // its place meanwhile, and wait for a writer. The file then has no name; image readers take the
    // format from the contents.
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        const QString reason = file.errorString();
        ::close(descriptor);
        return reason;
    }
    return std::nullopt;
}

Contents read(const QString &path, qint64 maxBytes)
{
    QFile file;
    if (const auto failure = open(file, path, maxBytes))
        return {std::nullopt, *failure};
    // As much as the file held when it was looked at, and one byte more: reading the limit at once
    // would set aside the whole limit for every small file. A file that grew since is read on up to one
    // byte past the limit, so that one grown too large is caught.
    const qint64 seen = std::min(maxBytes, file.size());
    QByteArray bytes = file.read(seen + 1);
    if (bytes.size() > seen && bytes.size() <= maxBytes && file.error() == QFileDevice::NoError)
        bytes += file.read(maxBytes + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, file.errorString()};
    if (bytes.size() > maxBytes)
        return {std::nullopt, tooLargeReason(bytes.size())};
    return {std::move(bytes), QString()};
}

} // namespace Platform::RegularFile
