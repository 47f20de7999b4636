#include "KivBackups/BackupError.h"

#include <cstring>

namespace KivBackups {

BackupError::BackupError(QString errorDomain, int code, QString message)
    : m_domain(std::move(errorDomain))
    , m_code(code)
    , m_message(std::move(message))
    , m_what(m_message.toUtf8())
{ }

BackupError BackupError::fromErrno(int error, const QString &operation, const QString &path)
{
    return BackupError(fileSystemDomain, error,
                       QStringLiteral("%1 “%2” failed: %3")
                           .arg(operation, path, QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace KivBackups
