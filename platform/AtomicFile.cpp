#include "platform/AtomicFile.h"

#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <thread>

namespace Platform {

namespace {

using namespace std::chrono_literals;

// How often edit() makes an edit again because the file changed under it before it gives up.
constexpr int editAttempts = 5;
// How long a file may have held nothing before an edit takes it as empty rather than as a save in
// progress (an editor may take seconds between truncating a file and writing all of it), and how
// often it looks again while it waits.
std::atomic<std::chrono::milliseconds> settleTime {5s};
constexpr auto pollInterval = 10ms;
// How many files' last seen state is kept: those are the few files of other applications that the
// program changes.
constexpr qsizetype maxNotedFiles = 256;
// A temporary file that is still empty and this young may belong to a writer that has created it
// but not yet locked it.
constexpr std::chrono::nanoseconds newTemporaryFileAge = 60s;
// Links followed before a path counts as a loop, as the kernel counts them.
constexpr int maxLinkDepth = 40;
// The part of the file's own name kept in the temporary file's name, in bytes: the whole name
// must stay within the file system's 255.
constexpr qsizetype maxNameInTemporaryName = 200;

const QLatin1String temporaryMarker(".tapestrel-");
const QLatin1String temporarySuffix(".tmp");

QString tr(const char *text)
{
    return QCoreApplication::translate("AtomicFile", text);
}

QString errnoText(int error)
{
    return qt_error_string(error);
}

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

qint64 nowNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

AtomicFile::Stamp stampFrom(const struct stat &info)
{
    AtomicFile::Stamp stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNanoseconds = nanoseconds(info.st_mtim);
    return stamp;
}

QMutex &observerMutex()
{
    static QMutex mutex;
    return mutex;
}

AtomicFile::EditObserver &currentObserver()
{
    static AtomicFile::EditObserver current;
    return current;
}

void observe(AtomicFile::EditStep step, const QString &path)
{
    AtomicFile::EditObserver current;
    {
        QMutexLocker locker(&observerMutex());
        current = currentObserver();
    }
    if (current)
        current(step, path);
}

QHash<QString, bool> &notedFiles()
{
    static QHash<QString, bool> noted;
    return noted;
}

void note(const QString &target, bool holdsSomething)
{
    QMutexLocker locker(&observerMutex());
    QHash<QString, bool> &noted = notedFiles();
    if (noted.size() >= maxNotedFiles && !noted.contains(target))
        noted.clear();
    noted.insert(target, holdsSomething);
}

bool heldSomething(const QString &target)
{
    QMutexLocker locker(&observerMutex());
    return notedFiles().value(target);
}

bool onlyBlanks(const QByteArray &bytes)
{
    return bytes.trimmed().isEmpty();
}

bool isLink(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The file a path leads to, following links as the kernel would (a dangling link leads to the file
// it names, which a write then creates); none for a loop.
std::optional<QString> followLinks(const QString &path)
{
    QString resolved = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < maxLinkDepth; ++depth) {
        const QFileInfo info(resolved);
        if (!info.isSymLink())
            return resolved;
        resolved = info.symLinkTarget();
        if (resolved.isEmpty())
            return std::nullopt;
    }
    return std::nullopt;
}

struct Reading
{
    AtomicFile::Stamp stamp;
    AtomicFile::Content content;
};

// Reads at most `maxBytes` + 1 bytes of a regular file. A file that changes while it is read is read
// again, so the stamp belongs to the bytes unless it changes faster than it can be read.
std::optional<AtomicFile::Failure> readFile(const QString &path, qint64 maxBytes, Reading *out)
{
    for (int attempt = 0;; ++attempt) {
        *out = Reading();
        const QByteArray name = QFile::encodeName(path);
        // A device is never opened (opening some has effects of their own), and the open does not
        // wait, so that a named pipe that takes the file's place meanwhile cannot hang it.
        struct stat looked
        {
        };
        if (::stat(name.constData(), &looked) == 0 && !S_ISREG(looked.st_mode))
            return AtomicFile::Failure {QFileDevice::ReadError, RegularFile::notRegularReason()};
        const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT)
                return std::nullopt;
            return AtomicFile::Failure {QFileDevice::ReadError, errnoText(errno)};
        }
        struct stat before
        {
        };
        if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)) {
            ::close(fd);
            return AtomicFile::Failure {QFileDevice::ReadError, RegularFile::notRegularReason()};
        }
        QByteArray bytes;
        const qint64 limit = maxBytes + 1;
        bytes.resize(qsizetype(std::clamp<qint64>(before.st_size + 1, 1, limit)));
        qint64 done = 0;
        for (;;) {
            if (done == bytes.size()) {
                if (done >= limit)
                    break;
                bytes.resize(qsizetype(std::min<qint64>(done * 2, limit)));
            }
            const ssize_t step = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (step < 0 && errno == EINTR)
                continue;
            if (step < 0) {
                const int error = errno;
                ::close(fd);
                return AtomicFile::Failure {QFileDevice::ReadError, errnoText(error)};
            }
            if (step == 0)
                break;
            done += step;
        }
        bytes.truncate(qsizetype(done));
        struct stat after
        {
        };
        const bool steady = ::fstat(fd, &after) == 0 && stampFrom(after) == stampFrom(before);
        ::close(fd);
        out->stamp = stampFrom(before);
        out->content = {true, bytes};
        if (steady || attempt + 1 >= editAttempts)
            return std::nullopt;
    }
}

qint64 settleNanoseconds()
{
    return std::chrono::nanoseconds(settleTime.load()).count();
}

// Until when a file that holds nothing is waited for: until it has held nothing for the settling
// time, and at most that long from now. None when it is not waited for: it was not seen holding
// anything and has not changed for longer.
std::optional<qint64> settleDeadline(const AtomicFile::Stamp &stamp, bool seenContent)
{
    const qint64 now = nowNanoseconds();
    const qint64 emptiedUntil = stamp.modifiedNanoseconds + settleNanoseconds();
    if (!seenContent && emptiedUntil <= now)
        return std::nullopt;
    return std::clamp<qint64>(emptiedUntil, now, now + settleNanoseconds());
}

// Waits until the file is no longer the version `stamp` describes, or until the deadline. True when
// it changed.
bool waitForChange(const QString &path, const QString &target, const AtomicFile::Stamp &stamp,
                   qint64 deadline)
{
    while (nowNanoseconds() < deadline) {
        std::this_thread::sleep_for(pollInterval);
        observe(AtomicFile::EditStep::Reading, path);
        if (AtomicFile::stampOf(target) != stamp)
            return true;
    }
    return false;
}

// Removes what killed writers left in a folder. A file counts only when its name is one this program
// gives, it is a regular file of this user, no writer holds its lock and it is not a writer's brand-new
// empty file (created, but not yet locked).
void removeStaleTemporaryFiles(const QString &folder)
{
    DIR *directory = ::opendir(QFile::encodeName(folder).constData());
    if (!directory)
        return;
    const int folderFd = ::dirfd(directory);
    while (const dirent *entry = ::readdir(directory)) {
        if (!AtomicFile::isTemporaryFileName(QFile::decodeName(entry->d_name)))
            continue;
        const int fd = ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info
        {
        };
        struct stat named
        {
        };
        const bool stale = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && (info.st_size > 0
                || nowNanoseconds() - nanoseconds(info.st_mtim) > newTemporaryFileAge.count())
            // Still the file that was locked under that name.
            && ::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0
            && named.st_dev == info.st_dev && named.st_ino == info.st_ino;
        if (stale)
            ::unlinkat(folderFd, entry->d_name, 0);
        ::close(fd); // releases the lock
    }
    ::closedir(directory);
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

AtomicFile::Stamp AtomicFile::stampOf(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return stampFrom(info);
}

AtomicFile::EmptyFile AtomicFile::settleEmptyFile(const QString &path, const Stamp &stamp, bool seenContent)
{
    const std::optional<qint64> deadline = settleDeadline(stamp, seenContent);
    if (!deadline)
        return EmptyFile::Empty;
    const std::optional<QString> target = followLinks(path);
    return waitForChange(path, target.value_or(path), stamp, *deadline) ? EmptyFile::Changed
                                                                        : EmptyFile::Emptied;
}

void AtomicFile::noteContent(const QString &path, bool holdsSomething)
{
    if (const std::optional<QString> target = followLinks(path))
        note(*target, holdsSomething);
}

std::chrono::milliseconds AtomicFile::setSettleTime(std::chrono::milliseconds time)
{
    return settleTime.exchange(time);
}

bool AtomicFile::isTemporaryFileName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.tapestrel-[A-Za-z0-9]{8}\\.tmp$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(fileName).hasMatch();
}

void AtomicFile::setEditObserver(EditObserver observer)
{
    QMutexLocker locker(&observerMutex());
    currentObserver() = std::move(observer);
}

std::optional<AtomicFile::Failure> AtomicFile::replace(const QString &path, const QByteArray &bytes)
{
    AtomicFile file(path);
    if (file.open() && file.write(bytes) && file.commit())
        return std::nullopt;
    return Failure {file.error(), file.errorString()};
}

std::optional<AtomicFile::Failure> AtomicFile::edit(const QString &path, qint64 maxBytes, const Edit &edit,
                                                    const HoldsNothing &holdsNothing)
{
    const std::optional<QString> target = followLinks(path);
    if (!target)
        return Failure {QFileDevice::ReadError, errnoText(ELOOP)};
    const HoldsNothing &isEmpty = holdsNothing ? holdsNothing : HoldsNothing(onlyBlanks);
    bool seenContent = heldSomething(*target);
    // Set once the file is seen holding nothing, and kept however often it changes meanwhile, so
    // that one that is written a piece at a time is not waited for without end.
    std::optional<qint64> deadline;
    int conflicts = 0;
    for (;;) {
        observe(EditStep::Reading, path);
        Reading reading;
        if (const auto failure = readFile(*target, maxBytes, &reading))
            return failure;
        const Content &content = reading.content;
        if (!content.exists && isLink(path))
            return Failure {QFileDevice::ReadError, RegularFile::danglingLinkReason()};
        const bool empty = content.exists && isEmpty(content.bytes);
        if (content.exists)
            note(*target, !empty);
        if (empty) {
            if (!deadline)
                deadline = settleDeadline(reading.stamp, seenContent);
            if (deadline) {
                if (waitForChange(path, *target, reading.stamp, *deadline))
                    continue;
                return Failure {QFileDevice::WriteError, tr("another program is still saving it")};
            }
        }
        seenContent = seenContent || (content.exists && !empty);
        const std::optional<QByteArray> edited = edit(content);
        if (!edited || (content.exists && *edited == content.bytes))
            return std::nullopt;

        AtomicFile file(path);
        file.expect(reading.stamp, content.bytes);
        if (!file.open() || !file.write(*edited))
            return Failure {file.error(), file.errorString()};
        if (file.commit()) {
            note(*target, !isEmpty(*edited));
            return std::nullopt;
        }
        if (!file.changedMeanwhile())
            return Failure {file.error(), file.errorString()};
        if (++conflicts >= editAttempts)
            return Failure {QFileDevice::WriteError,
                            tr("another program changed it each time it was about to be replaced")};
    }
}

AtomicFile::AtomicFile(const QString &path)
    : m_path(path)
{ }

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::fail(QFileDevice::FileError error, const QString &reason)
{
    if (!m_failed) {
        m_failed = true;
        m_error = error;
        m_errorString = reason;
    }
    discard();
    return false;
}

void AtomicFile::discard()
{
    if (m_fd < 0)
        return;
    // Removed before the lock goes with the descriptor, so nobody else ever takes it for stale.
    ::unlink(QFile::encodeName(m_temporary).constData());
    ::close(m_fd);
    m_fd = -1;
}

bool AtomicFile::open()
{
    if (m_fd >= 0 || m_failed)
        return false;
    const std::optional<QString> target = followLinks(m_path);
    if (!target)
        return fail(QFileDevice::OpenError, errnoText(ELOOP));
    m_target = *target;
    const QFileInfo info(m_target);
    const QString folder = info.absolutePath();
    removeStaleTemporaryFiles(folder);

    struct stat existing
    {
    };
    const QByteArray encodedTarget = QFile::encodeName(m_target);
    const bool exists = ::stat(encodedTarget.constData(), &existing) == 0;
    // The file's own permissions decide whether it may be replaced, not only the folder's.
    if (exists && ::access(encodedTarget.constData(), W_OK) != 0)
        return fail(QFileDevice::WriteError, errnoText(errno));

    QString name = info.fileName();
    while (QFile::encodeName(name).size() > maxNameInTemporaryName)
        name.chop(1);
    for (int attempt = 0; m_fd < 0; ++attempt) {
        m_temporary = folder + QLatin1Char('/') + QLatin1Char('.') + name + temporaryMarker + randomLetters(8)
            + temporarySuffix;
        // Private until it is complete; it gets the file's permissions before the rename.
        m_fd = ::open(QFile::encodeName(m_temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      exists ? 0600 : 0666);
        if (m_fd < 0 && (errno != EEXIST || attempt >= 100))
            return fail(QFileDevice::OpenError, errnoText(errno));
    }
    // Held until the file is renamed or removed: it tells cleaners in other processes that this
    // file is in use. (One of them may hold it for an instant while it looks.)
    while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) { }
    if (exists)
        ::fchmod(m_fd, existing.st_mode & 07777);
    return true;
}

bool AtomicFile::write(const char *data, qint64 size)
{
    if (m_fd < 0 || m_failed)
        return m_failed ? false : fail(QFileDevice::WriteError, tr("the file is not open"));
    for (qint64 done = 0; done < size;) {
        const ssize_t step = ::write(m_fd, data + done, size_t(size - done));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return fail(QFileDevice::WriteError, errnoText(step < 0 ? errno : ENOSPC));
        done += step;
    }
    return true;
}

void AtomicFile::expect(const Stamp &stamp, std::optional<QByteArray> bytes)
{
    m_expectedStamp = stamp;
    m_expectedBytes = std::move(bytes);
}

bool AtomicFile::commit()
{
    if (m_fd < 0 || m_failed)
        return m_failed ? false : fail(QFileDevice::WriteError, tr("the file is not open"));
    // As a failed flush would, a failed sync leaves the data to the kernel; it is not an error here.
    ::fsync(m_fd);

    if (m_expectedStamp) {
        observe(EditStep::Replacing, m_path);
        const Stamp now = stampOf(m_target);
        bool unchanged = now == *m_expectedStamp;
        if (unchanged && now.exists && m_expectedBytes) {
            // The same stamp may still hide a rewrite within one tick of the clock.
            Reading reading;
            unchanged = !readFile(m_target, m_expectedBytes->size(), &reading)
                && reading.content.bytes == *m_expectedBytes;
        }
        if (!unchanged) {
            m_changedMeanwhile = true;
            return fail(QFileDevice::WriteError, tr("another program changed it meanwhile"));
        }
    }

    if (::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0)
        return fail(QFileDevice::RenameError, errnoText(errno));
    ::close(m_fd);
    m_fd = -1;
    return true;
}

} // namespace Platform
