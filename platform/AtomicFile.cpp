#include "platform/AtomicFile.h"

#include "platform/InterruptedExchanges.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QScopeGuard>

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

// How often edit() makes an edit again because the file changed under it before it gives up, and after
// how many put-backs of another program's saves a commit gives the edit up. Put-backs go on while saves
// keep coming in place meanwhile, so that the newest ends in place, up to a bound against saves without
// end.
constexpr int editAttempts = 5;
constexpr int putBackAttempts = 5;
constexpr int putBackLimit = 64;
// How long a file that looks unfinished is waited for (an editor may take seconds between truncating
// a file and writing all of it), how long after its last change it may still be a save in progress,
// and how often it is looked at again while it is waited for.
constexpr auto defaultSettleTime = 5s;
std::atomic<std::chrono::milliseconds> savingWindow {60s};
constexpr auto pollInterval = 10ms;
// Links followed before a path counts as a loop, as the kernel counts them.
constexpr int maxLinkDepth = 40;
// How many bytes of a version's SHA-1 the swap name bears (as hex digits): enough to tell the
// program's own files from other programs' saves.
constexpr qsizetype versionBytes = 8;

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

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The one same-file check: whether the name (relative to `folderFd`, links not followed) bears the
// regular file open as `fd`. Its state goes to `info`.
bool bears(int folderFd, const char *name, int fd, struct stat *info = nullptr)
{
    struct stat named
    {
    };
    struct stat opened
    {
    };
    if (fd < 0 || ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || ::fstat(fd, &opened) != 0
        || !S_ISREG(named.st_mode) || !sameFile(named, opened))
        return false;
    if (info)
        *info = opened;
    return true;
}

// The digest of an open file's first `size` bytes; empty when it could not be read.
QByteArray digestOf(int fd, qint64 size)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QByteArray buffer(qsizetype(std::min<qint64>(size, 1 << 16)), Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const ssize_t step =
            ::pread(fd, buffer.data(), size_t(std::min<qint64>(buffer.size(), size - done)), off_t(done));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return {};
        hash.addData(QByteArrayView(buffer.constData(), step));
        done += step;
    }
    return hash.result();
}

// The digest that names a version of a file in a swap name; empty when it could not be read.
QByteArray versionOf(const QByteArray &sha1)
{
    return sha1.left(versionBytes).toHex();
}

QByteArray versionOf(int fd)
{
    struct stat info
    {
    };
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return versionOf(digestOf(fd, info.st_size));
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

// Moves another program's save, which an exchange took out of place, beside `file` under a name a user
// finds: "<file>.kept", else ".kept-2" and on. Where it went; none when it could not be moved.
std::optional<QString> keepBesideFile(const QString &from, const QString &file)
{
    const QByteArray source = QFile::encodeName(from);
    for (int n = 1; n <= 1000; ++n) {
        const QString kept = InterruptedExchanges::keptName(file, n);
        const QByteArray target = QFile::encodeName(kept);
        if (renameWithFlags(source, target, RENAME_NOREPLACE) == 0
            || (renameFlagsUnsupported(errno) && ::link(source.constData(), target.constData()) == 0
                && ::unlink(source.constData()) == 0)) {
            qWarning("AtomicFile: another program's save of %s was kept as %s", qPrintable(file),
                     qPrintable(kept));
            return kept;
        }
        if (errno != EEXIST)
            break;
    }
    qWarning("AtomicFile: another program's save of %s is left as %s", qPrintable(file), qPrintable(from));
    return std::nullopt;
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

bool AtomicFile::SaveWait::isToBeWaitedFor(const Stamp &stamp, bool looksUnfinished)
{
    if (!stamp.exists || !looksUnfinished)
        return false;
    const qint64 window = inNanoseconds(savingWindow.load());
    const qint64 age = nowNanoseconds() - stamp.modifiedNanoseconds;
    return age < window && age >= -window;
}

bool AtomicFile::SaveWait::waitForChange(const QString &path, const Stamp &stamp)
{
    if (!m_deadline) {
        m_started = nowNanoseconds();
        m_deadline = *m_started + inNanoseconds(settleTime().load());
    }
    const std::optional<QString> target = followLinks(path);
    return Platform::waitForChange(path, target.value_or(path), stamp, *m_deadline);
}

QString AtomicFile::SaveWait::reason(const Stamp &stamp)
{
    const qint64 seconds = ageNanoseconds(stamp) / 1000000000;
    const QString ago = seconds == 1 ? tr("1 second") : tr("%1 seconds").arg(seconds);
    return tr("it changed %1 ago and another program may still be saving it").arg(ago);
}

QString AtomicFile::SaveWait::waited() const
{
    const double seconds = m_started ? double(nowNanoseconds() - *m_started) / 1e9 : 0.0;
    return tr("%1 seconds").arg(seconds, 0, 'f', 1);
}

std::chrono::milliseconds AtomicFile::setSettleTime(std::chrono::milliseconds time)
{
    return settleTime().exchange(time);
}

std::chrono::milliseconds AtomicFile::setSavingWindow(std::chrono::milliseconds time)
{
    return savingWindow.exchange(time);
}

std::optional<AtomicFile::Failure> AtomicFile::finishInterrupted(const QString &path)
{
    const QString file = followLinks(path).value_or(path);
    const QStringList kept = InterruptedExchanges::seeTo(QFileInfo(file).absolutePath(), file);
    if (kept.isEmpty())
        return std::nullopt;
    return Failure {QFileDevice::WriteError,
                    tr("a write of it that was cut short had taken another program's save out of place; that "
                       "save is kept as %1, and the file is left as it is")
                        .arg(kept.join(QLatin1String(", ")))};
}

void AtomicFile::finishInterruptedIn(const QString &folder)
{
    InterruptedExchanges::seeTo(folder, {});
}

std::optional<QString> AtomicFile::resolvedPath(const QString &path)
{
    return followLinks(path);
}

QByteArray AtomicFile::versionOfFile(int fd)
{
    return versionOf(fd);
}

bool AtomicFile::bearsFile(const QByteArray &name, int fd)
{
    return bears(AT_FDCWD, name.constData(), fd);
}

bool AtomicFile::isTemporaryFileName(const QString &fileName)
{
    return InterruptedExchanges::isLeftoverName(fileName);
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
    // A save of another program that a killed writer left under a swap name is in place again before
    // the file is read, or the edit is not made.
    if (auto failure = finishInterrupted(*target))
        return failure;
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
        if (SaveWait::isToBeWaitedFor(reading.stamp,
                                      content.bytes.size() <= maxBytes && looksUnfinished(content.bytes))) {
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
    // Removed before the lock goes with the descriptor, so nobody else ever takes it for stale; once
    // exchanged, the name bears another file, which is not ours to remove.
    if (!m_temporary.isEmpty())
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
    // A save of another program that an interrupted exchange took out of place is never replaced.
    if (const QStringList kept = InterruptedExchanges::seeTo(folder, m_target); !kept.isEmpty())
        return fail(QFileDevice::WriteError,
                    tr("another program's save of it, which a write that was cut short had taken out of "
                       "place, is kept as %1")
                        .arg(kept.join(QLatin1String(", "))));

    struct stat existing
    {
    };
    const QByteArray encodedTarget = QFile::encodeName(m_target);
    const bool exists = ::stat(encodedTarget.constData(), &existing) == 0;
    // The file's own permissions decide whether it may be replaced, not only the folder's.
    if (exists && ::access(encodedTarget.constData(), W_OK) != 0)
        return fail(QFileDevice::WriteError, errnoText(errno));

    for (int attempt = 0; m_fd < 0; ++attempt) {
        m_stem = InterruptedExchanges::stemFor(m_target);
        m_temporary = InterruptedExchanges::temporaryName(m_stem);
        // Private until it is complete; it gets the file's permissions before the rename.
        m_fd = ::open(QFile::encodeName(m_temporary).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                      exists ? 0600 : 0666);
        if (m_fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
            return fail(QFileDevice::OpenError,
                        tr("its folder %1 cannot be written: %2").arg(folder, errnoText(errno)));
        if (m_fd < 0 && (errno != EEXIST || attempt >= 100))
            return fail(QFileDevice::OpenError, errnoText(errno));
    }
    // Held until the file is renamed or removed: it tells cleaners in other processes that this
    // file is in use. (One of them may hold it for an instant while it looks.)
    while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) { }
    if (exists) {
        // The owner first, as a change of owner clears the set-user and set-group bits. Where the
        // process may not give the file away, it keeps the group where it may, and is the writer's.
        if (::fchown(m_fd, existing.st_uid, existing.st_gid) != 0)
            ::fchown(m_fd, uid_t(-1), existing.st_gid);
        ::fchmod(m_fd, existing.st_mode & 07777);
    }
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
    if (m_expectedStamp)
        m_written.addData(QByteArrayView(data, size));
    return true;
}

void AtomicFile::expect(const Stamp &stamp, const QByteArray &bytes)
{
    m_expectedStamp = stamp;
    m_expectedBytes = bytes;
    m_expectedVersion = versionOf(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1));
}

bool AtomicFile::changed()
{
    m_changedMeanwhile = true;
    return fail(QFileDevice::WriteError, tr("another program changed it meanwhile"));
}

// Whether the file is still the version expect() described: its stamp, and what it holds (the same
// stamp may hide a rewrite within one tick of the clock, or one whose time was set back).
bool AtomicFile::stillExpected()
{
    const Stamp now = stampOf(m_target);
    if (now != *m_expectedStamp)
        return false;
    if (!now.exists)
        return true;
    Reading reading;
    return !readFile(m_target, m_expectedBytes.size(), &reading) && reading.content.bytes == m_expectedBytes;
}

// Open: the file in place, held (and locked, when nobody else holds it) so that no cleaner takes it for
// a leftover once it bears the swap name, and so that it can be told whether the exchange took it out.
int AtomicFile::openInPlace()
{
    const int fd =
        ::open(QFile::encodeName(m_target).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0)
        ::flock(fd, LOCK_SH | LOCK_NB);
    return fd;
}

// What bears the swap name, held (and locked, when nobody else holds it) for the same reasons.
int AtomicFile::holdSwap() const
{
    const int fd =
        ::open(QFile::encodeName(m_swap).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::flock(fd, LOCK_SH | LOCK_NB);
    return fd;
}

// Exchange: what bears the swap name takes the file's place, and the swap name bears what was there.
bool AtomicFile::swapWithTarget()
{
    return renameWithFlags(QFile::encodeName(m_swap), QFile::encodeName(m_target), RENAME_EXCHANGE) == 0;
}

// Check: whether what the exchange took out is the file that was opened, still the version that was
// expected.
bool AtomicFile::isExpectedVersion(int old) const
{
    struct stat info
    {
    };
    return bears(AT_FDCWD, QFile::encodeName(m_swap).constData(), old, &info)
        && stampFrom(info) == *m_expectedStamp && holdsExactly(old, m_expectedBytes);
}

// Whether a name (the swap name, or the file's) bears a file that an exchange put in place, as it was
// then: nothing came in its place meanwhile, neither by a rename nor by a write into it. Ours must
// hold what was written.
bool AtomicFile::holdsUnchanged(const Placed &placed, const QString &name) const
{
    struct stat info
    {
    };
    if (!bears(AT_FDCWD, QFile::encodeName(name).constData(), placed.fd, &info) || info.st_size != placed.size
        || nanoseconds(info.st_mtim) != placed.modifiedNanoseconds)
        return false;
    return !placed.ours || versionOf(placed.fd) == m_writtenVersion;
}

// What bears the swap name once an exchange is over: removed when it holds the program's own new file
// or the version the edit was made from, else kept beside the file as another program's save.
void AtomicFile::setAside()
{
    const int fd =
        ::open(QFile::encodeName(m_swap).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    const QByteArray version = versionOf(fd);
    if (fd >= 0)
        ::close(fd);
    if (!version.isEmpty() && (version == m_writtenVersion || version == m_expectedVersion)) {
        ::unlink(QFile::encodeName(m_swap).constData());
        return;
    }
    m_kept.append(keepBesideFile(m_swap, m_target).value_or(m_swap));
}

// Where what came out of place was kept, told by `text` ("%1" the places); nothing when nothing was.
QString AtomicFile::keptText(const QString &text) const
{
    return m_kept.isEmpty() ? QString() : text.arg(m_kept.join(QLatin1String(", ")));
}

// Exchanges the new file with the old one, which then bears the swap name. The old one is removed only
// when it is the version the new content was made from; otherwise another program saved it after the
// last check (in place, or by a rename of its own), and it is put back for the edit to be made again
// on it.
bool AtomicFile::exchange()
{
    const int old = openInPlace();
    if (old < 0 && errno == ENOENT)
        return changed();
    const auto closeOld = qScopeGuard([old] {
        if (old >= 0)
            ::close(old);
    });
    // Under the swap name before the exchange: a cleaner never removes what bears it, and the name
    // tells a writer that finds it after a kill which versions are this program's.
    m_writtenVersion = versionOf(m_written.result());
    m_swap = InterruptedExchanges::swapName(m_stem, m_expectedVersion, m_writtenVersion);
    if (::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_swap).constData()) != 0)
        return fail(QFileDevice::RenameError, errnoText(errno));
    m_temporary = m_swap;
    observe(EditStep::Exchanging, m_path);
    struct stat written
    {
    };
    ::fstat(m_fd, &written);
    const Placed ours {m_fd, written.st_size, nanoseconds(written.st_mtim), true};
    if (!swapWithTarget()) {
        const int error = errno;
        if (error == ENOENT)
            return changed();
        if (!renameFlagsUnsupported(error))
            return fail(QFileDevice::RenameError, errnoText(error));
        return renameOver();
    }
    m_temporary.clear();
    // A save that came in place after the file was opened is what came out: held at once.
    const int cameOut = bears(AT_FDCWD, QFile::encodeName(m_swap).constData(), old) ? -1 : holdSwap();
    const auto closeCameOut = qScopeGuard([cameOut] {
        if (cameOut >= 0)
            ::close(cameOut);
    });
    observe(EditStep::Exchanged, m_path);
    if (!isExpectedVersion(old))
        return putBack(ours);
    ::unlink(QFile::encodeName(m_swap).constData());
    return done();
}

// Put back: another program's save, taken out of place, goes back, and what is in place comes out. That
// should be the file put there by the last exchange, as it was; if it is not, yet another save came
// in place meanwhile (by a rename, or written into it), and it goes back in turn, until what comes out is
// what the put-back before brought in: then the one in place came last. What finally comes out is seen
// to by setAside(). After a few rounds the edit is given up, the newest save in place.
bool AtomicFile::putBack(Placed placed)
{
    const auto release = [](const Placed &file) {
        if (!file.ours && file.fd >= 0)
            ::close(file.fd);
    };
    // What is in place is held through each exchange, as what bears the swap name always is, so that no
    // cleaner takes it for a leftover once it comes out.
    int out = -1;
    const auto closeOut = qScopeGuard([&out] {
        if (out >= 0)
            ::close(out);
    });
    for (int round = 1;; ++round) {
        // Held, so that it can be told later whether it stayed as it was.
        const int back = holdSwap();
        if (out >= 0)
            ::close(out);
        out = openInPlace();
        struct stat info
        {
        };
        const Placed next = back >= 0 && ::fstat(back, &info) == 0
            ? Placed {back, qint64(info.st_size), nanoseconds(info.st_mtim), false}
            : Placed {back, -1, 0, false};
        observe(EditStep::PuttingBack, m_path);
        if (!swapWithTarget()) {
            const QString reason = errnoText(errno);
            release(placed);
            release(next);
            setAside();
            return fail(QFileDevice::RenameError,
                        tr("another program changed it meanwhile, and its save could not be put back (%1)%2")
                            .arg(reason, keptText(tr("; it is kept as %1"))));
        }
        if (!bears(AT_FDCWD, QFile::encodeName(m_swap).constData(), out)) {
            // A save that came in place after it was opened is what came out: held at once.
            if (out >= 0)
                ::close(out);
            out = holdSwap();
        }
        observe(EditStep::PutBack, m_path);
        const bool settled = holdsUnchanged(placed, m_swap);
        release(placed);
        if (settled && round <= putBackAttempts) {
            release(next);
            setAside();
            return changed();
        }
        if (settled) {
            release(next);
            setAside();
            return fail(QFileDevice::WriteError,
                        tr("another program saved it again each time its save was put back; its newest save "
                           "is left in place and this change was not made%1")
                            .arg(keptText(tr("; the save before it is kept as %1"))));
        }
        // What came out came in place while the save just put back was out, so it is the newer: unless a
        // newer one yet came in place since. At the bound, the newer that came out goes back once more
        // (when saves stopped there, that is the last put-back); past it, the edit gives up as things are.
        const bool newestInPlace = round >= putBackLimit && !holdsUnchanged(next, m_target);
        if (round > putBackLimit || newestInPlace) {
            release(next);
            setAside();
            return fail(QFileDevice::WriteError,
                        newestInPlace
                            ? tr("another program saved it again each time its save was put back; its newest "
                                 "save is left in place and this change was not made%1")
                                  .arg(keptText(tr("; an earlier save is kept as %1")))
                            : tr("another program saved it again each time its save was put back, %1 times; "
                                 "this change was not made, an earlier save is left in place%2")
                                  .arg(round)
                                  .arg(keptText(tr(" and its newest save is kept as %1"))));
        }
        placed = next;
    }
}

QStringList AtomicFile::finishExchange(const QString &target, const QString &swap, const QByteArray &expected,
                                       const QByteArray &written)
{
    AtomicFile resumed(target);
    resumed.m_target = target;
    resumed.m_swap = swap;
    resumed.m_expectedVersion = expected;
    resumed.m_writtenVersion = written;
    const int placed = ::open(QFile::encodeName(target).constData(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info
    {
    };
    if (!written.isEmpty() && versionOf(placed) == written && ::fstat(placed, &info) == 0) {
        // The writer's new file is this edit's own again (closed with the object). Once it comes out,
        // the put-back holds it as it holds whatever comes out, so that no cleaner takes it for a leftover.
        resumed.m_fd = placed;
        resumed.putBack({placed, qint64(info.st_size), nanoseconds(info.st_mtim), true});
    } else {
        if (placed >= 0)
            ::close(placed);
        resumed.setAside();
    }
    return resumed.m_kept;
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
        if (!stillExpected())
            return changed();
        observe(EditStep::Renaming, m_path);
        if (m_expectedStamp->exists)
            return exchange();
        // Where there was no file, one that another program creates meanwhile is not replaced.
        if (renameWithFlags(QFile::encodeName(m_temporary), QFile::encodeName(m_target), RENAME_NOREPLACE)
            == 0)
            return done();
        if (errno == EEXIST)
            return changed();
        if (!renameFlagsUnsupported(errno))
            return fail(QFileDevice::RenameError, errnoText(errno));
    }
    return renameOver();
}

} // namespace Platform
