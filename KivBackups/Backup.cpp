#include "KivBackups/Backup.h"

#include "KivBackups/FileOperations.h"

#include <QFileInfo>

namespace KivBackups {

std::optional<Backup> Backup::fromUrl(const QUrl &url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    QString name = info.fileName();
    const QString extension = QLatin1Char('.') + info.suffix();
    if (!info.suffix().isEmpty() && name.endsWith(extension))
        name.chop(extension.size());

    const QStringList pieces = name.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;
    const std::optional<QDateTime> date = dateFromText(pieces.first());
    if (!date)
        return std::nullopt;

    Backup backup;
    backup.url = url;
    backup.date = *date;
    backup.isLocked = isLockedPath(path);
    backup.size = info.exists() ? info.size() : 0;
    return backup;
}

QString Backup::dateText(const QDateTime &date)
{
    // QDateTime's own formatting is locale independent (C locale, Gregorian calendar).
    return date.toLocalTime().toString(dateFormat);
}

std::optional<QDateTime> Backup::dateFromText(const QString &text)
{
    if (text.size() != dateFormat.size())
        return std::nullopt;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    QDateTime date = QDateTime::fromString(text, dateFormat);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

bool Backup::isLockedPath(const QString &path)
{
    return FileOperations::isImmutable(path) || QFileInfo(path).fileName().contains(lockedSuffix);
}

QString Backup::description() const
{
    return QStringLiteral("Backup %1, isLocked: %2")
        .arg(date.toString(Qt::ISODate), isLocked ? QStringLiteral("true") : QStringLiteral("false"));
}

QString Backup::debugDescription() const
{
    return description() + QStringLiteral(", url: ") + url.toString();
}

size_t qHash(const Backup &backup, size_t seed)
{
    return qHashMulti(seed, backup.url, backup.date, backup.isLocked, backup.size, backup.isExtracting);
}

} // namespace KivBackups
