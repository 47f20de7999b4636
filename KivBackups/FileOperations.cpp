#include "KivBackups/FileOperations.h"

#include "KivBackups/BackupError.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KivBackups::FileOperations {

void moveWithoutReplacing(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // File systems without an atomic no-replace rename: a hard link fails when the target
        // exists, which gives the same guarantee.
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return;
        }
        error = errno;
    }
    throw BackupError::fromErrno(error, QCoreApplication::translate("KivBackups", "Moving"), from);
}

bool isImmutable(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return (info.st_mode & S_IWUSR) == 0;
}

void setImmutable(const QString &path, bool immutable)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::stat(name.constData(), &info) != 0)
        throw BackupError::fromErrno(errno, QCoreApplication::translate("KivBackups", "Reading"), path);
    const mode_t mode = immutable ? (info.st_mode & 07777 & ~S_IWUSR) : ((info.st_mode & 07777) | S_IWUSR);
    if (::chmod(name.constData(), mode) != 0)
        throw BackupError::fromErrno(
            errno, QCoreApplication::translate("KivBackups", "Changing permissions of"), path);
}

void remove(const QString &path)
{
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        throw BackupError::fromErrno(errno, QCoreApplication::translate("KivBackups", "Removing"), path);
}

} // namespace KivBackups::FileOperations
