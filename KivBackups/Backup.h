#pragma once

#include <QDateTime>
#include <QHash>
#include <QMetaType>
#include <QString>
#include <QUrl>

#include <optional>

namespace KivBackups {

// One backup archive, described entirely by its file: the name holds the moment it was made and
// an optional lock marker, the permissions may mark it locked as well.
struct Backup
{
    static inline const QString lockedSuffix = QStringLiteral("-locked");
    static inline const QString dateFormat = QStringLiteral("yyyyMMddHHmmss");

    QUrl url;
    QDateTime date;
    bool isLocked = false;
    qint64 size = 0;
    bool isExtracting = false;

    // The backup a file of the backups folder stands for, or nothing when it is none.
    static std::optional<Backup> fromUrl(const QUrl &url);

    // The 14-digit local date text that names a backup made at that moment.
    static QString dateText(const QDateTime &date);
    // The date a backup file name starts with, read in the current time zone.
    static std::optional<QDateTime> dateFromText(const QString &text);
    // Locked when the file is marked immutable, or else when its name holds "-locked".
    static bool isLockedPath(const QString &path);

    QString path() const { return url.toLocalFile(); }
    QString description() const;
    QString debugDescription() const;

    bool operator==(const Backup &) const = default;
};

size_t qHash(const Backup &backup, size_t seed = 0);

} // namespace KivBackups

Q_DECLARE_METATYPE(KivBackups::Backup)
