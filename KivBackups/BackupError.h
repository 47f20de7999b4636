#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace KivBackups {

// An error of the backup module: a domain, a code and the message for the person using the program.
class BackupError : public std::exception
{
public:
    static inline const QString domain = QStringLiteral("com.quorvane.KivBackups.Errors");
    static constexpr int lockedBackupCode = 1;
    static constexpr int memberTooLargeCode = 2;
    static constexpr int memberTooCompressedCode = 3;
    static constexpr int duplicateMemberCode = 4;
    // The application's data in a backup holds more records than a restore takes.
    static constexpr int tooManyRecordsCode = 5;
    // It holds two records of one kind and identity.
    static constexpr int repeatedRecordCode = 6;
    // A restore failed for a reason of another module (the archive, the application's store).
    static constexpr int restoreFailedCode = 7;
    // The archive holds more members than a backup does.
    static constexpr int tooManyMembersCode = 8;
    // File operations report errno as the code, under this domain.
    static inline const QString fileSystemDomain = QStringLiteral("com.quorvane.KivBackups.FileSystem");

    BackupError(QString errorDomain, int code, QString message);

    // A file operation on path failed with errno.
    static BackupError fromErrno(int error, const QString &operation, const QString &path);

    const QString &errorDomain() const { return m_domain; }
    int code() const { return m_code; }
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_domain;
    int m_code;
    QString m_message;
    QByteArray m_what;
};

} // namespace KivBackups
