#include "platform/UserDefaults.h"

#include "platform/AtomicFile.h"
#include "platform/Home.h"
#include "platform/InterruptedExchanges.h"
#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutexLocker>
#include <QThread>
#include <QtGlobal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cmath>
#include <limits>
#include <optional>

namespace Platform {

const QString UserDefaults::standardDomainName = QStringLiteral("com.quorvane.Tapestrel");
const QString UserDefaults::globalDomainName = QStringLiteral(".GlobalPreferences");

namespace {

// Another process holding a domain's lock for longer than this hangs; a write gives up rather than
// blocking its caller for ever. (A process that dies loses its lock at once.)
constexpr int lockTimeoutMilliseconds = 10000;
// How often a write is made again on top of a file that another program changed under it.
constexpr int writeAttempts = 5;

// An exclusive lock on "<domain>.plist.lock" for as long as the object lives. The kernel lock goes
// with the process, so a crashed writer never leaves a stale lock behind; the file itself stays. It is
// only read (a lock needs no more), so one that root made in a user's folder still serves the user,
// and it belongs to whoever owns the folder.
class DomainLock
{
public:
    explicit DomainLock(const QString &path)
    {
        const QByteArray encoded = QFile::encodeName(path);
        m_fd = ::open(encoded.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            const int error = errno;
            const QString folder = QFileInfo(path).absolutePath();
            const bool made = QFileInfo::exists(path);
            m_reason = !made && (error == EACCES || error == EPERM || error == EROFS)
                ? QStringLiteral("its folder %1 cannot be written: %2").arg(folder, qt_error_string(error))
                : QStringLiteral("its lock file %1 cannot be opened: %2").arg(path, qt_error_string(error));
            return;
        }
        struct stat folder
        {
        };
        struct stat lock
        {
        };
        if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) == 0
            && ::fstat(m_fd, &lock) == 0 && lock.st_uid != folder.st_uid)
            (void)::fchown(m_fd, folder.st_uid, folder.st_gid);
        QElapsedTimer clock;
        clock.start();
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || clock.elapsed() > lockTimeoutMilliseconds) {
                ::close(m_fd);
                m_fd = -1;
                m_reason = QStringLiteral("it is locked by another process");
                return;
            }
            QThread::usleep(2000);
        }
        m_locked = true;
    }
    ~DomainLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    DomainLock(const DomainLock &) = delete;
    DomainLock &operator=(const DomainLock &) = delete;
    bool isLocked() const { return m_locked; }
    // Why it is not locked.
    QString reason() const { return m_reason; }

private:
    int m_fd = -1;
    bool m_locked = false;
    QString m_reason;
};

QMutex &registryMutex()
{
    static QMutex mutex;
    return mutex;
}

// The domain's own stamp also holds the change time and why a look failed, which AtomicFile's has no
// use for.
template<typename DomainStamp> AtomicFile::Stamp atomicStamp(const DomainStamp &stamp)
{
    AtomicFile::Stamp converted;
    converted.exists = stamp.exists;
    converted.device = stamp.device;
    converted.inode = stamp.inode;
    converted.size = stamp.size;
    converted.modifiedNanoseconds = stamp.modifiedNanoseconds;
    return converted;
}

// Instances by file path. Callers and signal connections may keep them for the life of the process,
// so they are deleted only at its end, with the registry: a short-lived process (the defaults tool, a
// command that hands its request over) still frees everything it made.
class Registry
{
public:
    ~Registry() { qDeleteAll(instances); }
    QHash<QString, UserDefaults *> instances;
};

QHash<QString, UserDefaults *> &registry()
{
    static Registry registry;
    return registry.instances;
}

} // namespace

UserDefaults::UserDefaults(const QString &domainName, const QString &filePath)
    : m_domainName(domainName)
    , m_filePath(filePath)
    , m_global(domainName == globalDomainName ? nullptr : &instance(globalDomainName))
{
    if (m_global) {
        connect(m_global, &UserDefaults::valueChanged, this, &UserDefaults::globalValueChanged,
                Qt::DirectConnection);
    }
}

UserDefaults &UserDefaults::instance(const QString &domainName)
{
    const QString filePath =
        Home::preferencesFolder() + QLatin1Char('/') + domainName + QStringLiteral(".plist");
    {
        QMutexLocker locker(&registryMutex());
        if (UserDefaults *existing = registry().value(filePath))
            return *existing;
    }
    // Made outside the registry lock: the constructor asks for the global domain's instance.
    auto *created = new UserDefaults(domainName, filePath);
    if (QCoreApplication *app = QCoreApplication::instance(); app && created->thread() != app->thread())
        created->moveToThread(app->thread());
    QMutexLocker locker(&registryMutex());
    if (UserDefaults *existing = registry().value(filePath)) {
        // Another thread was quicker; this one was never handed out.
        created->deleteLater();
        return *existing;
    }
    registry().insert(filePath, created);
    return *created;
}

UserDefaults &UserDefaults::standard()
{
    return instance(standardDomainName);
}

UserDefaults &UserDefaults::global()
{
    return instance(globalDomainName);
}

bool UserDefaults::isValidDomainName(const QString &domainName)
{
    return !domainName.isEmpty() && domainName != QLatin1String(".") && domainName != QLatin1String("..")
        && !domainName.contains(QLatin1Char('/')) && !domainName.contains(QChar(0));
}

UserDefaults *UserDefaults::suite(const QString &domainName)
{
    if (domainName == QLatin1String("NSGlobalDomain"))
        return &global();
    if (!isValidDomainName(domainName))
        return nullptr;
    return &instance(domainName);
}

// --- reading the file ---

// A file replaced by an atomic write gets a new inode, so two writes within one clock tick that leave
// the size unchanged are still told apart.
UserDefaults::FileStamp UserDefaults::currentStamp() const
{
    FileStamp stamp;
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(m_filePath).constData(), &info) == 0) {
        stamp.exists = true;
        stamp.device = info.st_dev;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modifiedNanoseconds = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        stamp.changedNanoseconds = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    } else {
        stamp.error = errno;
    }
    return stamp;
}

bool UserDefaults::refreshLocked(QList<Change> *changes) const
{
    using Status = PropertyList::Status;
    // A domain is first read as another program saved it: an exchange of it that a killed writer left
    // half done is finished before (the start of every process that reads it, the defaults tool's too).
    // So are those of every other domain, which this process may never read: another program's save that
    // such an exchange took out of place is back in place for that program. (Where a save was kept
    // beside a file instead, the writer logs it.)
    if (!m_loaded) {
        const QString file = AtomicFile::resolvedPath(m_filePath).value_or(m_filePath);
        const QString folder = QFileInfo(m_filePath).absolutePath();
        AtomicFile::finishInterruptedIn(folder);
        if (QFileInfo(file).absolutePath() != folder)
            InterruptedExchanges::seeToFile(file);
    }
    const FileStamp stamp = currentStamp();
    if (m_loaded && stamp == m_stamp)
        return m_fileStatus != Status::Unreadable;

    // A link that leads to itself is not a missing file: it is read, and refused, like any other
    // thing that is not a regular file.
    PropertyList::Reading reading;
    QByteArray bytes;
    if (!stamp.exists && (stamp.error == ENOENT || stamp.error == ENOTDIR))
        reading.status = Status::Missing;
    else
        reading =
            PropertyList::readFile(m_filePath, PropertyList::Form::Exact, PropertyList::maximumSize, &bytes);
    if (reading.status == Status::Damaged && stamp.exists && stamp.size == 0) {
        reading = {Status::Read, QVariant(QVariantMap()), QString()}; // made empty by hand: no values
    } else if (reading.isRead() && reading.value.typeId() != QMetaType::QVariantMap) {
        reading = {Status::Damaged, QVariant(), QStringLiteral("its root is not a dictionary")};
    }

    QVariantMap stored;
    if (reading.isRead())
        stored = reading.value.toMap();
    else if (reading.status == Status::Unreadable && m_loaded)
        stored = m_stored; // keep what was read before rather than pretending the domain is empty

    m_fileStatus = reading.status;
    m_fileProblem = reading.error;
    if (!reading.isRead() && reading.status != Status::Missing && m_reportedProblem != stamp) {
        // Said as it is now; a write says what it then did (waited, left the file, or set it aside).
        QString consequence = QStringLiteral("it is never rewritten");
        if (reading.status == Status::Damaged && mayBeBeingSaved(stamp, reading.status))
            consequence = AtomicFile::SaveWait::reason(atomicStamp(stamp));
        else if (reading.status == Status::Damaged)
            consequence = QStringLiteral("it reads as an empty domain");
        qWarning("user defaults: %s; %s", qPrintable(problemLocked()), qPrintable(consequence));
        m_reportedProblem = stamp;
    }

    const QVariantMap values = PropertyList::readable(QVariant(stored)).toMap();
    if (changes && m_loaded) {
        QStringList keys = m_values.keys();
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            if (!m_values.contains(it.key()))
                keys.append(it.key());
        }
        for (const QString &key : std::as_const(keys)) {
            const QVariant before = m_values.value(key);
            const QVariant after = values.value(key);
            if (PropertyList::identical(before, after))
                continue;
            const QVariant oldEffective = effectiveLocked(key, m_values);
            const QVariant newEffective = effectiveLocked(key, values);
            if (!PropertyList::identical(oldEffective, newEffective))
                changes->append({key, oldEffective, newEffective});
        }
    }
    m_stored = stored;
    m_values = values;
    m_stamp = stamp;
    m_bytes = bytes;
    m_loaded = true;
    return m_fileStatus != Status::Unreadable;
}

// As for every other program's file that looks unfinished: a domain that holds nothing or no property
// list and changed within the saving window may be its program's save in progress. The program's own
// domain is the one exception: only the program and its defaults tool write it, both atomically.
bool UserDefaults::mayBeBeingSaved(const FileStamp &stamp, PropertyList::Status status) const
{
    const bool looksUnfinished =
        m_domainName != standardDomainName && (status == PropertyList::Status::Damaged || stamp.size == 0);
    return AtomicFile::SaveWait::isToBeWaitedFor(atomicStamp(stamp), looksUnfinished);
}

QString UserDefaults::problemLocked() const
{
    switch (m_fileStatus) {
    case PropertyList::Status::Read:
    case PropertyList::Status::Missing:
        return {};
    case PropertyList::Status::Unreadable:
        return QStringLiteral("%1 cannot be read: %2").arg(m_filePath, m_fileProblem);
    case PropertyList::Status::Damaged:
        return QStringLiteral("%1 is not a valid property list: %2").arg(m_filePath, m_fileProblem);
    case PropertyList::Status::Unusable:
        return QStringLiteral("%1 cannot be written back unchanged: %2").arg(m_filePath, m_fileProblem);
    }
    return {};
}

QString UserDefaults::problem() const
{
    QList<Change> changes;
    QString result;
    {
        QMutexLocker locker(&m_mutex);
        refreshLocked(&changes);
        result = problemLocked();
    }
    emitChanges(changes);
    return result;
}

QVariant UserDefaults::fallbackLocked(const QString &key) const
{
    if (m_global) {
        // The global domain was brought up to date before this domain's lock was taken; refreshing
        // it here could make it notify this domain while the lock is held.
        QMutexLocker globalLocker(&m_global->m_mutex);
        const auto it = m_global->m_values.constFind(key);
        if (it != m_global->m_values.cend())
            return it.value();
    }
    return m_registered.value(key);
}

QVariant UserDefaults::effectiveLocked(const QString &key, const QVariantMap &own) const
{
    const auto it = own.constFind(key);
    if (it != own.cend())
        return it.value();
    return fallbackLocked(key);
}

void UserDefaults::emitChanges(const QList<Change> &changes) const
{
    if (changes.isEmpty())
        return;
    // Signals are not const; emitting them from a read that noticed another process's write is
    // still a read of this object as far as callers are concerned.
    auto *self = const_cast<UserDefaults *>(this);
    for (const Change &change : changes)
        emit self->valueChanged(change.key, change.oldValue, change.newValue);
    emit self->changed();
}

void UserDefaults::refreshGlobal() const
{
    if (m_global)
        m_global->refreshAndNotify();
}

void UserDefaults::refreshAndNotify() const
{
    QList<Change> changes;
    {
        QMutexLocker locker(&m_mutex);
        refreshLocked(&changes);
    }
    emitChanges(changes);
}

QVariant UserDefaults::value(const QString &key) const
{
    refreshGlobal();
    QList<Change> changes;
    QVariant result;
    {
        QMutexLocker locker(&m_mutex);
        refreshLocked(&changes);
        result = effectiveLocked(key, m_values);
    }
    emitChanges(changes);
    return result;
}

QVariant UserDefaults::persistentValue(const QString &key) const
{
    return persistentDomain().value(key);
}

QVariantMap UserDefaults::persistentDomain() const
{
    QList<Change> changes;
    QVariantMap result;
    {
        QMutexLocker locker(&m_mutex);
        refreshLocked(&changes);
        result = m_values;
    }
    emitChanges(changes);
    return result;
}

QVariantMap UserDefaults::registeredDefaults() const
{
    QMutexLocker locker(&m_mutex);
    return m_registered;
}

bool UserDefaults::synchronize()
{
    refreshGlobal();
    QList<Change> changes;
    bool ok = false;
    {
        QMutexLocker locker(&m_mutex);
        ok = refreshLocked(&changes);
    }
    emitChanges(changes);
    return ok;
}

// --- typed readings ---

std::optional<QString> UserDefaults::stringFromValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::Bool:
        return QString(value.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
    default:
        return std::nullopt;
    }
}

bool UserDefaults::boolFromValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::LongLong:
        return value.toLongLong() != 0;
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0
            || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        return ok && number != 0;
    }
    default:
        return false;
    }
}

qint64 UserDefaults::integerFromValue(const QVariant &value)
{
    double real = 0;
    switch (value.typeId()) {
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::Double:
        real = value.toDouble();
        break;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        if (ok)
            return number;
        real = text.toDouble(&ok);
        if (!ok)
            return 0;
        break;
    }
    default:
        return 0;
    }
    // A real beyond the integer range (or not a number) has no integer reading.
    if (!std::isfinite(real) || std::fabs(real) >= 9.2e18)
        return 0;
    return static_cast<qint64>(real);
}

double UserDefaults::realFromValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::LongLong:
        return double(value.toLongLong());
    case QMetaType::Bool:
        return value.toBool() ? 1.0 : 0.0;
    case QMetaType::QString: {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        return ok ? number : 0.0;
    }
    default:
        return 0.0;
    }
}

std::optional<QString> UserDefaults::string(const QString &key) const
{
    return stringFromValue(value(key));
}

bool UserDefaults::boolean(const QString &key) const
{
    return boolFromValue(value(key));
}

qint64 UserDefaults::integer(const QString &key) const
{
    return integerFromValue(value(key));
}

double UserDefaults::real(const QString &key) const
{
    return realFromValue(value(key));
}

std::optional<QByteArray> UserDefaults::data(const QString &key) const
{
    const QVariant found = value(key);
    if (found.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return found.toByteArray();
}

std::optional<QDateTime> UserDefaults::date(const QString &key) const
{
    const QVariant found = value(key);
    if (found.typeId() != QMetaType::QDateTime)
        return std::nullopt;
    return found.toDateTime();
}

std::optional<QVariantList> UserDefaults::array(const QString &key) const
{
    const QVariant found = value(key);
    if (found.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return found.toList();
}

std::optional<QVariantMap> UserDefaults::dictionary(const QString &key) const
{
    const QVariant found = value(key);
    if (found.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return found.toMap();
}

// --- writing ---

std::optional<QString> UserDefaults::preserveCorruptFileLocked() const
{
    // A domain reached through a link is set aside beside the file the link leads to: the link stays,
    // and the write that follows goes through it.
    const QString file = AtomicFile::resolvedPath(m_filePath).value_or(m_filePath);
    QString target = InterruptedExchanges::besideName(file, QStringLiteral(".corrupt"));
    // An earlier damaged copy stays too.
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = InterruptedExchanges::besideName(file, QStringLiteral(".corrupt-%1").arg(n));
    if (!QFile::rename(file, target)) {
        qWarning("user defaults: cannot keep the damaged %s as %s; it is left unchanged", qPrintable(file),
                 qPrintable(target));
        return std::nullopt;
    }
    return target;
}

UserDefaults::WriteOutcome UserDefaults::writeLocked(const QByteArray &bytes, const FileStamp &expected,
                                                     QString *reason) const
{
    AtomicFile file(m_filePath);
    // Another program (one that does not take the domain's lock) may have replaced or rewritten the
    // file since it was read; its values must not be lost to values read before.
    file.expect(atomicStamp(expected), m_bytes);
    if (file.open() && file.write(bytes) && file.commit())
        return WriteOutcome::written;
    if (file.changedMeanwhile())
        return WriteOutcome::changedMeanwhile;
    *reason = file.errorString();
    return WriteOutcome::failed;
}

bool UserDefaults::store(const QString &key, const QVariant &value, bool onlyIfPresent, QString *error)
{
    const auto failed = [&](const QString &reason) {
        qWarning("user defaults: %s", qPrintable(reason));
        if (error)
            *error = reason;
        return false;
    };
    if (key.isEmpty())
        return failed(QStringLiteral("a value needs a key (domain %1)").arg(m_domainName));
    QVariant canonical;
    if (value.isValid()) {
        QString why;
        canonical = PropertyList::normalized(value, &why);
        if (!canonical.isValid()) {
            return failed(QStringLiteral("%1 cannot be stored under %2 in %3: %4")
                              .arg(QString::fromLatin1(value.typeName()), key, m_domainName, why));
        }
    }

    refreshGlobal();
    QList<Change> changes;
    bool ok = false;
    std::optional<QString> refusal;
    std::optional<QString> setAside; // where a damaged file was kept
    {
        QMutexLocker locker(&m_mutex);
        if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath()))
            return failed(QStringLiteral("cannot create the folder of %1").arg(m_filePath));
        const QString lockPath = InterruptedExchanges::besideName(m_filePath, QStringLiteral(".lock"));
        std::optional<DomainLock> lock(std::in_place, lockPath);
        const auto lockRefusal = [&] {
            return QStringLiteral("%1 was not written to %2: %3").arg(key, m_filePath, lock->reason());
        };
        if (!lock->isLocked())
            return failed(lockRefusal());
        // Another program's save that a killed writer left out of place is back before the domain is
        // read, or the domain is left as it is.
        if (const auto interrupted = AtomicFile::finishInterrupted(m_filePath))
            return failed(
                QStringLiteral("%1 was not written to %2: %3").arg(key, m_filePath, interrupted->reason));
        AtomicFile::SaveWait wait;
        // The file as it is now, with whatever other processes wrote since the last read. What
        // cannot be read or written back unchanged is left exactly as it is. When another program
        // changes the file before the write, it is read again and the change made anew.
        for (int attempt = 1;; ++attempt) {
            refreshLocked(&changes);
            const bool damaged = m_fileStatus == PropertyList::Status::Damaged;
            const bool present = m_values.contains(key);
            if (m_fileStatus == PropertyList::Status::Unreadable
                || m_fileStatus == PropertyList::Status::Unusable) {
                refusal = QStringLiteral("%1 was not written: %2").arg(key, problemLocked());
                break;
            }
            if (onlyIfPresent && !present)
                break;
            if (!canonical.isValid() && !present) {
                ok = true; // removing what is not there changes nothing
                break;
            }
            // Decided on the value as stored, not as read: -1 over 2^64-1 or -0.0 over 0.0 is a change.
            if (present && !damaged && PropertyList::identical(m_stored.value(key), canonical)) {
                ok = true; // the file holds this value already: it is not rewritten
                break;
            }
            // A file that holds nothing or is no property list may be another program's save in
            // progress (it truncates, then writes): taken as an empty or damaged domain, the write
            // would put only this key in place of its settings. It is waited for with nothing locked,
            // so that reads of this domain, and of every domain that falls back on the global one,
            // go on meanwhile; then it is read again.
            const AtomicFile::Stamp stamp = atomicStamp(m_stamp);
            if (mayBeBeingSaved(m_stamp, m_fileStatus)) {
                lock.reset();
                locker.unlock();
                const bool changed = wait.waitForChange(m_filePath, stamp);
                locker.relock();
                lock.emplace(lockPath);
                if (!lock->isLocked()) {
                    refusal = lockRefusal();
                    break;
                }
                if (changed) {
                    --attempt; // a wait is bounded by its own time
                    continue;
                }
                refusal =
                    QStringLiteral("%1 was not written to %2: %3; it was waited for %4 and is left as it is")
                        .arg(key, m_filePath, AtomicFile::SaveWait::reason(stamp), wait.waited());
                break;
            }
            // Every other value goes back as it was stored.
            QVariantMap updated = m_stored;
            QVariantMap updatedValues = m_values;
            if (canonical.isValid()) {
                updated.insert(key, canonical);
                updatedValues.insert(key, canonical);
            } else {
                updated.remove(key);
                updatedValues.remove(key);
            }
            // A domain that its readers would refuse (past the size, the values or the nesting they
            // take) is never written, and a damaged file is not moved aside for it.
            QString unwritable;
            const QByteArray bytes = PropertyList::toBinary(QVariant(updated), &unwritable);
            if (bytes.isEmpty()) {
                refusal = QStringLiteral("%1 was not written: %2 could not be read again, as %3")
                              .arg(key, m_filePath, unwritable);
                break;
            }
            // A damaged file is moved aside first: the write then expects to find no file.
            if (damaged)
                setAside = preserveCorruptFileLocked();
            QString reason = QStringLiteral("the damaged file could not be set aside");
            const WriteOutcome outcome = !damaged || setAside
                ? writeLocked(bytes, damaged ? FileStamp() : m_stamp, &reason)
                : WriteOutcome::failed;
            if (outcome == WriteOutcome::changedMeanwhile && attempt < writeAttempts)
                continue;
            if (outcome == WriteOutcome::written) {
                const QVariant oldEffective = effectiveLocked(key, m_values);
                const QVariant newEffective = effectiveLocked(key, updatedValues);
                if (!PropertyList::identical(oldEffective, newEffective))
                    changes.append({key, oldEffective, newEffective});
                m_stored = updated;
                m_values = updatedValues;
                m_fileStatus = PropertyList::Status::Read;
                m_fileProblem.clear();
                // Nobody else writes while the lock file is held, so the file is exactly this.
                m_stamp = currentStamp();
                m_bytes = bytes;
                ok = true;
                if (wait.hasWaited()) {
                    qWarning("user defaults: waited %s for another program's save of %s; %s was written on "
                             "top of it",
                             qPrintable(wait.waited()), qPrintable(m_filePath), qPrintable(key));
                }
            } else if (outcome == WriteOutcome::changedMeanwhile) {
                refusal = QStringLiteral("%1 kept being changed by another program; %2 was not written")
                              .arg(m_filePath, key);
            } else {
                refusal = QStringLiteral("%1 was not written to %2: %3").arg(key, m_filePath, reason);
                if (setAside)
                    *refusal += QStringLiteral("; the damaged file was kept as %1").arg(*setAside);
            }
            break;
        }
    }
    emitChanges(changes);
    if (refusal)
        return failed(*refusal);
    // The write is done, but what the file held before is no longer the domain: the caller is told.
    if (ok && setAside && error) {
        *error =
            QStringLiteral("%1 was not a property list; it was kept as %2 and %3 was written in its place")
                .arg(m_filePath, *setAside, key);
    }
    return ok;
}

bool UserDefaults::setValue(const QString &key, const QVariant &value, QString *error)
{
    return store(key, value, false, error);
}

bool UserDefaults::remove(const QString &key, QString *error)
{
    return store(key, QVariant(), true, error);
}

void UserDefaults::registerDefaults(const QVariantMap &defaults)
{
    refreshGlobal();
    QList<Change> changes;
    {
        QMutexLocker locker(&m_mutex);
        refreshLocked(&changes);
        for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
            const QVariant canonical = PropertyList::normalized(it.value());
            if (!canonical.isValid()) {
                qWarning("user defaults: %s cannot be registered for %s", it.value().typeName(),
                         qPrintable(it.key()));
                continue;
            }
            const QVariant oldEffective = effectiveLocked(it.key(), m_values);
            m_registered.insert(it.key(), canonical);
            const QVariant newEffective = effectiveLocked(it.key(), m_values);
            if (!PropertyList::identical(oldEffective, newEffective))
                changes.append({it.key(), oldEffective, newEffective});
        }
    }
    emitChanges(changes);
}

void UserDefaults::globalValueChanged(const QString &key, const QVariant &oldValue, const QVariant &newValue)
{
    QList<Change> changes;
    {
        QMutexLocker locker(&m_mutex);
        refreshLocked(&changes);
        if (!m_values.contains(key)) {
            const QVariant oldEffective = oldValue.isValid() ? oldValue : m_registered.value(key);
            const QVariant newEffective = newValue.isValid() ? newValue : m_registered.value(key);
            if (!PropertyList::identical(oldEffective, newEffective))
                changes.append({key, oldEffective, newEffective});
        }
    }
    emitChanges(changes);
}

} // namespace Platform
