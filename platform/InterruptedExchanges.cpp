#include "platform/InterruptedExchanges.h"

#include "platform/AtomicFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace Platform {

namespace {

// A temporary file that is still empty and this young (in seconds) may belong to a writer that has
// created it but not yet locked it.
constexpr time_t newTemporaryFileAge = 60;
// The part of the file's own name kept in its writers' file names, in bytes: the whole swap name, its two
// digests included, and "<name>.kept-<n>" must stay within the file system's 255.
constexpr qsizetype maxNameInLeftoverName = 180;
// Hex digits of the digest of the whole name that a cut name ends in.
constexpr qsizetype nameDigestDigits = 16;
// Names beside a file: the file's own name with an ending (".lock", ".kept-1000", ".corrupt-1000"...).
constexpr qsizetype maxFileName = 255;
constexpr qsizetype longestEnding = 16;

const QLatin1String marker(".tapestrel-");
const QLatin1String temporarySuffix(".tmp");
const QLatin1String swapSuffix(".swap");

// The file's name as borne, the digests of the two versions (swap names only; an earlier version's
// swap names bear none) and the kind.
const QRegularExpression &leftoverPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(
            "^\\.(.+)\\.tapestrel-[A-Za-z0-9]{8}(?:-([0-9a-f]{16})-([0-9a-f]{16}))?\\.(tmp|swap)$"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

QString cutTo(QString name, qsizetype bytes)
{
    while (QFile::encodeName(name).size() > bytes)
        name.chop(1);
    return name;
}

// A long name as earlier versions cut it: its start only.
QString earlierShortName(const QString &fileName)
{
    return cutTo(fileName, maxNameInLeftoverName);
}

// Whether a name borne by leftovers is a cut one that ends in the digest of the whole name: it is that
// file's and no other's, even where it is also the start of another name (the names made beside the file,
// its lock file and kept copies, begin with it).
bool endsInNameDigest(const QString &borne)
{
    static const QRegularExpression pattern(QStringLiteral("~[0-9a-f]{%1}$").arg(nameDigestDigits));
    return pattern.match(borne).hasMatch();
}

QString randomLetters(int count)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString letters;
    for (int i = 0; i < count; ++i)
        letters.append(QLatin1Char(alphabet[QRandomGenerator::global()->bounded(62)]));
    return letters;
}

} // namespace

QString InterruptedExchanges::shortName(const QString &fileName)
{
    const QByteArray encoded = QFile::encodeName(fileName);
    if (encoded.size() <= maxNameInLeftoverName)
        return fileName;
    return cutTo(fileName, maxNameInLeftoverName - 1 - nameDigestDigits) + QLatin1Char('~')
        + QString::fromLatin1(
               QCryptographicHash::hash(encoded, QCryptographicHash::Sha1).toHex().left(nameDigestDigits));
}

QString InterruptedExchanges::stemFor(const QString &file)
{
    const QFileInfo info(file);
    return info.absolutePath() + QLatin1String("/.") + shortName(info.fileName()) + marker + randomLetters(8);
}

QString InterruptedExchanges::temporaryName(const QString &stem)
{
    return stem + temporarySuffix;
}

QString InterruptedExchanges::swapName(const QString &stem, const QByteArray &expected,
                                       const QByteArray &written)
{
    return stem + QLatin1Char('-') + QString::fromLatin1(expected) + QLatin1Char('-')
        + QString::fromLatin1(written) + swapSuffix;
}

QString InterruptedExchanges::besideName(const QString &file, const QString &ending)
{
    const QFileInfo info(file);
    QString name = info.fileName();
    if (QFile::encodeName(name).size() + longestEnding > maxFileName)
        name = shortName(name);
    return info.absolutePath() + QLatin1Char('/') + name + ending;
}

QString InterruptedExchanges::keptName(const QString &file, int n)
{
    return besideName(file, n > 1 ? QStringLiteral(".kept-%1").arg(n) : QStringLiteral(".kept"));
}

bool InterruptedExchanges::isLeftoverName(const QString &fileName)
{
    return leftoverPattern().match(fileName).hasMatch();
}

QByteArray InterruptedExchanges::versionOfPath(const QString &path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    const QByteArray version = AtomicFile::versionOfFile(fd);
    if (fd >= 0)
        ::close(fd);
    return version;
}

QStringList InterruptedExchanges::seeTo(const QString &folder, const QString &file)
{
    return seeTo(folder, file, false);
}

QStringList InterruptedExchanges::seeToFile(const QString &file)
{
    return seeTo(QFileInfo(file).absolutePath(), file, true);
}

// A file counts only when its name is one this program gives, it is a regular file of this user or of
// its own file's owner, and no writer holds its lock. Names are gathered first, as finishing one renames
// files in the folder.
QStringList InterruptedExchanges::seeTo(const QString &folder, const QString &file, bool onlyFile)
{
    QStringList leftovers;
    // The files whose names are cut in their leftovers' names, by the names borne, and by the names
    // earlier versions cut them to.
    QHash<QString, QString> longNames;
    QHash<QString, QStringList> earlierLongNames;
    if (DIR *directory = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent *entry = ::readdir(directory)) {
            const QString name = QFile::decodeName(entry->d_name);
            if (isLeftoverName(name)) {
                leftovers.append(name);
            } else if (const QString borne = shortName(name); borne != name) {
                longNames.insert(borne, name);
                earlierLongNames[earlierShortName(name)].append(name);
            }
        }
        ::closedir(directory);
    }
    const QString fileName = file.isEmpty() ? QString() : QFileInfo(file).fileName();
    const auto pathOf = [&folder](const QString &name) {
        return folder + QLatin1Char('/') + name;
    };
    QStringList kept;
    for (const QString &name : std::as_const(leftovers)) {
        const QRegularExpressionMatch match = leftoverPattern().match(name);
        const QString borne = match.captured(1);
        const QByteArray written = match.captured(3).toLatin1();
        QStringList candidates;
        if (endsInNameDigest(borne)) {
            candidates.append(longNames.value(borne, borne));
        } else {
            candidates = earlierLongNames.value(borne);
            struct stat named
            {
            };
            if (::lstat(QFile::encodeName(pathOf(borne)).constData(), &named) == 0)
                candidates.append(borne);
        }
        QString target = candidates.size() == 1 ? candidates.first() : borne;
        if (candidates.size() > 1) {
            // Several files fit a name an earlier version cut: only the one that holds the writer's new
            // file is surely its own.
            candidates.removeIf([&](const QString &candidate) {
                return written.isEmpty() || versionOfPath(pathOf(candidate)) != written;
            });
            if (candidates.size() != 1) {
                qWarning("AtomicFile: %s is left as it is: more than one file in its folder fits its name",
                         qPrintable(pathOf(name)));
                continue;
            }
            target = candidates.first();
        }
        if (onlyFile && target != fileName)
            continue;

        const QString path = pathOf(name);
        const QByteArray encoded = QFile::encodeName(path);
        const bool swapped = match.captured(4) == QLatin1String("swap");
        const int fd = ::open(encoded.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info
        {
        };
        struct stat targetInfo
        {
        };
        const bool whose = ::fstat(fd, &info) == 0
            && (info.st_uid == ::geteuid()
                || (::stat(QFile::encodeName(pathOf(target)).constData(), &targetInfo) == 0
                    && info.st_uid == targetInfo.st_uid));
        const bool stale = whose && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && (swapped || info.st_size > 0 || std::time(nullptr) - info.st_mtim.tv_sec > newTemporaryFileAge)
            // Still the file that was locked under that name.
            && AtomicFile::bearsFile(encoded, fd);
        // (Another file's saves kept so are only logged.)
        const bool ofFile = !fileName.isEmpty() && target == fileName;
        if (stale && swapped) {
            const QStringList keptOfSwap = AtomicFile::finishExchange(ofFile ? file : pathOf(target), path,
                                                                      match.captured(2).toLatin1(), written);
            if (ofFile)
                kept += keptOfSwap;
        } else if (stale) {
            ::unlink(encoded.constData());
        }
        ::close(fd); // releases the lock
    }
    return kept;
}

} // namespace Platform
