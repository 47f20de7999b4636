#pragma once

#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include "platform/PropertyList.h"

#include <optional>

namespace Platform {

// One user-defaults domain: the property list "Library/Preferences/<domain>.plist" below the
// emulated home. Values are property-list values as QVariant (see PropertyList): text, data,
// integer, real, Boolean, date, array and dictionary.
//
// Reads look through the search list: the domain's own values, then the global domain
// (".GlobalPreferences") unless this is the global domain, then the registered defaults. Every read
// notices a file that another process (the defaults tool) has replaced and loads it again. Every
// write goes straight to the file, atomically, under a lock file per domain and on top of the
// file's current contents, so two processes never lose each other's keys. A program that takes no
// lock and saves the file between the read and the rename is noticed (by the file's content, also
// when its size and time are as before) before the rename or, when it comes the moment before, by the
// exchange (see AtomicFile): the domain is read again and the change made on top of that program's
// save. The first read of a domain in a process first finishes the exchanges that killed writers left
// half done of every domain in its folder (so the start of a process that reads any domain sees to all
// of them), and every write those of its own domain; a write writes nothing when that kept another
// program's save beside the file. The lock file is "<domain>.plist.lock", or for a name too long for
// that, a shorter one that still tells the domain (see InterruptedExchanges::besideName); so is a
// damaged copy's name.
//
// A file of another program's domain that holds nothing or is not a property list, and that changed
// within the last minute, may be that program's save in progress: a write waits for it (for a few
// seconds, with nothing locked; see AtomicFile::SaveWait) and is made on what it then holds, or, when
// it still holds nothing or no property list, writes nothing and says so. The program's own domain is
// never waited for: only the program and its defaults tool write it, and only atomically.
//
// A file that is not a property list (and has not changed for that long) reads as an empty domain;
// it is reported once and kept beside the domain as "<domain>.plist.corrupt" before the first write
// replaces it, and that write tells its caller where it was kept. A domain that is a link (to a file
// kept with other settings, say) stays one: the file it leads to is set aside beside that file, and
// the write goes through the link. A write run as root leaves the domain's file and its lock file
// with the owner they had (the folder's, for a new lock file). A file that is one but
// cannot be written back as it is (text in no valid encoding, nesting past the limits...), or that
// cannot be read (not a regular file, too large, no permission), is never replaced: it reads as an
// empty domain (or keeps the values read before) and writes fail. Values are kept in the form they
// were stored in, so a write changes only its own key.
//
// Instances are shared per file and live for the whole process. They follow the emulated home:
// standard(), global() and suite() give the instance of the home that is current at the call, so
// a test with a fresh home never sees another test's values or registered defaults. Hold on to the
// reference only as long as the home stays the same. All members may be called from any thread;
// signals are emitted on the thread that caused the change.
class UserDefaults : public QObject
{
    Q_OBJECT

public:
    static const QString standardDomainName; // "com.quorvane.Tapestrel"
    static const QString globalDomainName; // ".GlobalPreferences"

    // The program's own domain.
    static UserDefaults &standard();
    // The global domain.
    static UserDefaults &global();
    // Any domain by name ("NSGlobalDomain" is the global domain); nothing when the name cannot be
    // a file name (empty, ".", "..", or containing "/").
    static UserDefaults *suite(const QString &domainName);
    static bool isValidDomainName(const QString &domainName);

    QString domainName() const { return m_domainName; }
    QString filePath() const { return m_filePath; }
    bool isGlobal() const { return m_domainName == globalDomainName; }

    // The effective value through the search list; an invalid QVariant when no level has one.
    QVariant value(const QString &key) const;
    bool contains(const QString &key) const { return value(key).isValid(); }
    // Only this domain's own stored value.
    QVariant persistentValue(const QString &key) const;
    // This domain's own stored values.
    QVariantMap persistentDomain() const;

    // Typed readings of the effective value, as the platform reads them.
    std::optional<QString> string(const QString &key) const;
    bool boolean(const QString &key) const;
    qint64 integer(const QString &key) const;
    double real(const QString &key) const;
    std::optional<QByteArray> data(const QString &key) const;
    std::optional<QDateTime> date(const QString &key) const;
    std::optional<QVariantList> array(const QString &key) const;
    std::optional<QVariantMap> dictionary(const QString &key) const;

    // The same readings of a value in hand.
    static std::optional<QString> stringFromValue(const QVariant &value);
    static bool boolFromValue(const QVariant &value);
    static qint64 integerFromValue(const QVariant &value);
    static double realFromValue(const QVariant &value);

    // Stores the value in this domain and writes the file. An invalid QVariant removes the key.
    // False, with a warning and the reason in `error`, when the key is empty, the value is not a
    // property-list value or the file cannot be written; nothing changes then. True with a text in
    // `error` when the write put aside a damaged file: the text says where it was kept.
    // May wait a few seconds for another program's save (see above): call it off the GUI thread
    // for any domain but the program's own.
    bool setValue(const QString &key, const QVariant &value, QString *error = nullptr);
    // Removes this domain's own value. False when there was none (nothing is written then) or the
    // file cannot be written.
    bool remove(const QString &key, QString *error = nullptr);

    // Why the domain's file cannot be used as it is (it is damaged, cannot be read or cannot be
    // written back unchanged), in a sentence that names it; empty when it can.
    QString problem() const;

    // Values that reads return while the domain (and, for other domains, the global domain) has
    // none. They live in this process only and are never written. Later registrations of a key
    // replace earlier ones.
    void registerDefaults(const QVariantMap &defaults);
    QVariantMap registeredDefaults() const;

    // Loads the file again when another process has changed it. Writes are never pending, so
    // this only reads; true unless the file exists and cannot be read.
    bool synchronize();

signals:
    // The effective value of a key changed (an invalid QVariant stands for no value), through a
    // write here, a registration, a change of the global domain or another process's write that a
    // read noticed.
    void valueChanged(const QString &key, const QVariant &oldValue, const QVariant &newValue);
    // Something in the domain changed; emitted once after the valueChanged signals of a change.
    void changed();

private:
    struct FileStamp
    {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNanoseconds = 0;
        qint64 changedNanoseconds = 0; // also moves when the permissions change
        int error = 0; // why it could not be looked at
        bool operator==(const FileStamp &) const = default;
    };
    struct Change
    {
        QString key;
        QVariant oldValue;
        QVariant newValue;
    };

    UserDefaults(const QString &domainName, const QString &filePath);
    static UserDefaults &instance(const QString &domainName);

    FileStamp currentStamp() const;
    void refreshGlobal() const;
    // With m_mutex held.
    bool refreshLocked(QList<Change> *changes) const;
    QVariant effectiveLocked(const QString &key, const QVariantMap &own) const;
    QVariant fallbackLocked(const QString &key) const;
    // Where the damaged file was kept; none when it could not be moved.
    std::optional<QString> preserveCorruptFileLocked() const;
    QString problemLocked() const;
    // Whether the file may be another program's save in progress, to be waited for.
    bool mayBeBeingSaved(const FileStamp &stamp, PropertyList::Status status) const;
    enum class WriteOutcome { written, changedMeanwhile, failed };
    // Writes unless the file is no longer the one `expected` describes, holding m_bytes; why a write
    // failed goes to `reason`.
    WriteOutcome writeLocked(const QByteArray &bytes, const FileStamp &expected, QString *reason) const;

    void refreshAndNotify() const;
    void emitChanges(const QList<Change> &changes) const;
    void globalValueChanged(const QString &key, const QVariant &oldValue, const QVariant &newValue);
    bool store(const QString &key, const QVariant &value, bool onlyIfPresent, QString *error);

    const QString m_domainName;
    const QString m_filePath;
    UserDefaults *const m_global; // null for the global domain itself

    mutable QMutex m_mutex;
    mutable QVariantMap m_stored; // as the file holds them (PropertyList's exact form)
    mutable QVariantMap m_values; // the same, as readers get them
    mutable FileStamp m_stamp;
    mutable QByteArray m_bytes; // the file's content as read (or written) at m_stamp
    mutable bool m_loaded = false;
    mutable PropertyList::Status m_fileStatus = PropertyList::Status::Missing;
    mutable QString m_fileProblem; // why, when the status is not Read or Missing
    mutable std::optional<FileStamp> m_reportedProblem;
    QVariantMap m_registered;
};

} // namespace Platform
