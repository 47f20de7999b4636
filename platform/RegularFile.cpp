#include "platform/RegularFile.h"

#include <QCoreApplication>

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

std::optional<QString> open(QFile &file, const QString &path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return errnoReason(ENOENT);
    // Looked at before it is opened, so that a device is never opened (opening some has effects of
    // its own); then looked at again through a descriptor opened without waiting, in case a pipe took
    // its place meanwhile (an ordinary open of a pipe waits for a writer).
    struct stat status;
    if (::stat(name.constData(), &status) != 0)
        return errnoReason(errno);
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
    // One byte more than allowed: a file that grew since it was opened is caught.
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, file.errorString()};
    if (bytes.size() > maxBytes)
        return {std::nullopt, tooLargeReason(bytes.size())};
    return {std::move(bytes), QString()};
}

} // namespace Platform::RegularFile
