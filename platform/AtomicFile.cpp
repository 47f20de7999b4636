#include "platform/AtomicFile.h"

#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

// The C library names them only when it also has renameat2().
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

namespace Platform {

namespace {

using namespace std::chrono_literals;

// How often edit() makes an edit again because the file changed under it before it gives up.
constexpr int editAttempts = 5;
// How long a file that looks unfinished is waited for (an editor may take seconds between truncating
// a file and writing all of it), how long after its last change it may still be a save in progress,
// and how often it is looked at again while it is waited for.
constexpr auto defaultSettleTime = 5s;
std::atomic<std::chrono::milliseconds> savingWindow {60s};
constexpr auto pollInterval = 10ms;
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

std::atomic<std::chrono::milliseconds> &settleTime()
{
    static std::atomic<std::chrono::milliseconds> time {[] {
        bool ok = false;
        const int fromEnvironment = qEnvironmentVariableIntValue("TAPESTREL_SETTLE_MILLISECONDS", &ok);
        return ok && fromEnvironment >= 0 ? std::chrono::milliseconds(fromEnvironment)
                                          : std::chrono::milliseconds(defaultSettleTime);
    }()};
    return time;
}

qint64 inNanoseconds(std::chrono::milliseconds time)
{
    return std::chrono::nanoseconds(time).count();
}

// How long ago the file was changed; a time ahead of the clock counts as now.
qint64 ageNanoseconds(const AtomicFile::Stamp &stamp)
{
    return std::max<qint64>(0, nowNanoseconds() - stamp.modifiedNanoseconds);
}

// Renames with flags (RENAME_EXCHANGE, RENAME_NOREPLACE) where the C library may lack the wrapper.
int renameWithFlags(const QByteArray &from, const QByteArray &to, unsigned int flags)
{
#ifdef SYS_renameat2
    return int(::syscall(SYS_renameat2, AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), flags));
#else
    Q_UNUSED(from);
    Q_UNUSED(to);
    Q_UNUSED(flags);
    errno = ENOSYS;
    return -1;
#endif
}

// Whether the file system (or the kernel) lacks the flags asked of renameWithFlags().
bool renameFlagsUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

// Whether an open file holds exactly `bytes`.
bool holdsExactly(int fd, const QByteArray &bytes)
{
    QByteArray read(bytes.size() + 1, Qt::Uninitialized);
    qint64 done = 0;
    while (done < read.size()) {
        const ssize_t step = ::pread(fd, read.data() + done, size_t(read.size() - done), off_t(done));
        if (step < 0 && errno == EINTR)
            continue;
        if (step < 0)
            return false;
        if (step == 0)
            break;
        done += step;
    }
    return done == bytes.size() && QByteArrayView(read.constData(), done) == bytes;
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

bool AtomicFile::SaveWait::mayBeUnderWay(const Stamp &stamp)
{
    return ageNanoseconds(stamp) < inNanoseconds(savingWindow.load());
}

bool AtomicFile::SaveWait::waitForChange(const QString &path, const Stamp &stamp)
{
    if (!m_deadline)
        m_deadline = nowNanoseconds() + inNanoseconds(settleTime().load());
    const std::optional<QString> target = followLinks(path);
    return Platform::waitForChange(path, target.value_or(path), stamp, *m_deadline);
}

QString AtomicFile::SaveWait::reason(const Stamp &stamp)
{
    const qint64 seconds = ageNanoseconds(stamp) / 1000000000;
    const QString ago = seconds == 1 ? tr("1 second") : tr("%1 seconds").arg(seconds);
    return tr("it changed %1 ago and another program may still be saving it").arg(ago);
}

std::chrono::milliseconds AtomicFile::setSettleTime(std::chrono::milliseconds time)
{
    return settleTime().exchange(time);
}

std::chrono::milliseconds AtomicFile::setSavingWindow(std::chrono::milliseconds time)
{
    return savingWindow.exchange(time);
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
                                                    const Unfinished &unfinished)
{
    const std::optional<QString> target = followLinks(path);
    if (!target)
        return Failure {QFileDevice::ReadError, errnoText(ELOOP)};
    const Unfinished &looksUnfinished = unfinished ? unfinished : Unfinished(onlyBlanks);
    SaveWait wait;
    int conflicts = 0;
    for (;;) {
        observe(EditStep::Reading, path);
        Reading reading;
        if (const auto failure = readFile(*target, maxBytes, &reading))
            return failure;
        const Content &content = reading.content;
        if (!content.exists && isLink(path))
            return Failure {QFileDevice::ReadError, RegularFile::danglingLinkReason()};
        // (A file too large to be read is refused as such, not waited for.)
        if (content.exists && content.bytes.size() <= maxBytes && looksUnfinished(content.bytes)
            && SaveWait::mayBeUnderWay(reading.stamp)) {
            if (wait.waitForChange(path, reading.stamp))
                continue;
            return Failure {QFileDevice::WriteError, SaveWait::reason(reading.stamp)};
        }
        const std::optional<QByteArray> edited = edit(content);
        if (!edited || (content.exists && *edited == content.bytes))
            return std::nullopt;

        AtomicFile file(path);
        file.expect(reading.stamp, content.bytes);
        if (!file.open() || !file.write(*edited))
            return Failure {file.error(), file.errorString()};
        if (file.commit())
            return std::nullopt;
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

bool AtomicFile::changed()
{
    m_changedMeanwhile = true;
    return fail(QFileDevice::WriteError, tr("another program changed it meanwhile"));
}

bool AtomicFile::matchesExpected(int fd, const QString &path) const
{
    // The file under that name must be the one that was opened (a rename may have put another one
    // there), and that one the version that was expected.
    struct stat named
    {
    };
    struct stat opened
    {
    };
    if (fd < 0 || ::lstat(QFile::encodeName(path).constData(), &named) != 0 || ::fstat(fd, &opened) != 0
        || !S_ISREG(named.st_mode) || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
        return false;
    return stampFrom(opened) == *m_expectedStamp && (!m_expectedBytes || holdsExactly(fd, *m_expectedBytes));
}

// Exchanges the new file with the old one, which then bears the temporary name. The old one is removed
// only when it is the version the new content was made from; otherwise another program saved it after
// the last check (in place, or by a rename of its own), and it is put back for the edit to be made
// again on it.
bool AtomicFile::exchange()
{
    const QByteArray temporary = QFile::encodeName(m_temporary);
    const QByteArray target = QFile::encodeName(m_target);
    // Held open, and locked when nobody else holds it, so that no cleaner takes it for a leftover
    // while it bears the temporary name.
    const int old = ::open(target.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (old < 0 && errno == ENOENT)
        return changed();
    if (old >= 0)
        ::flock(old, LOCK_SH | LOCK_NB);
    const auto closeOld = qScopeGuard([old] {
        if (old >= 0)
            ::close(old);
    });
    if (renameWithFlags(temporary, target, RENAME_EXCHANGE) != 0) {
        const int error = errno;
        if (error == ENOENT)
            return changed();
        if (!renameFlagsUnsupported(error))
            return fail(QFileDevice::RenameError, errnoText(error));
        return renameOver();
    }
    if (!matchesExpected(old, m_temporary)) {
        // The name is no longer the new file's: it must not be removed as one.
        const int written = m_fd;
        m_fd = -1;
        const auto closeWritten = qScopeGuard([written] { ::close(written); });
        if (renameWithFlags(temporary, target, RENAME_EXCHANGE) != 0) {
            return fail(QFileDevice::RenameError,
                        tr("another program changed it meanwhile, and its file could not be put back: %1")
                            .arg(errnoText(errno)));
        }
        // Back under the temporary name is the new file, unless yet another save took its place.
        struct stat named
        {
        };
        struct stat ours
        {
        };
        if (::lstat(temporary.constData(), &named) == 0 && ::fstat(written, &ours) == 0
            && named.st_dev == ours.st_dev && named.st_ino == ours.st_ino)
            ::unlink(temporary.constData());
        return changed();
    }
    ::unlink(temporary.constData());
    return done();
}

bool AtomicFile::renameOver()
{
    if (::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0)
        return fail(QFileDevice::RenameError, errnoText(errno));
    return done();
}

bool AtomicFile::done()
{
    ::close(m_fd);
    m_fd = -1;
    return true;
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
        if (!unchanged)
            return changed();
        observe(EditStep::Renaming, m_path);
        if (m_expectedStamp->exists)
            return exchange();
        // Where there was no file, one that another program creates meanwhile is not replaced.
        if (renameWithFlags(QFile::encodeName(m_temporary), QFile::encodeName(m_target), RENAME_NOREPLACE) == 0)
            return done();
        if (errno == EEXIST)
            return changed();
        if (!renameFlagsUnsupported(errno))
            return fail(QFileDevice::RenameError, errnoText(errno));
    }
    return renameOver();
}

} // namespace Platform
