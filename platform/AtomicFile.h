#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace Platform {

// Replaces a whole file at once: the bytes go to a temporary file beside it, which is renamed over
// the file only once every byte is written. A symbolic link is followed to the file it leads to, and
// the permissions of the file it replaces are kept, as are its owner and group where the process may
// set them (a program run as root on a user's files leaves them the user's).
//
// The temporary file is written unbuffered and in a loop that checks every write: through a buffer,
// a short write (a full disk, a file-size limit) would only show when the buffer is flushed, and the
// shortened file could replace the old one.
//
// Temporary files are named ".<file name>.tapestrel-<8 letters or digits>.tmp" (see
// InterruptedExchanges for long names) and are locked by their writer for as long as it works on them.
// A writer that is killed before its rename leaves its temporary file behind; the next write into the
// same folder removes such leftovers: only files of that name, of this user or of the owner of the file
// they were written for, that no live writer holds, and that are not a writer's newly created empty file.
//
// Files of other applications are changed with edit(): it reads the file, lets the caller make the
// new content from it, and replaces the file only if, right before the replacement, the file is
// still the one the new content was made from: the same stamp and the same bytes. Otherwise the edit
// is made again on what is there now. Where the file system can, the replacement exchanges the new
// file with the old one, which then bears a name of its own until it is found to be the one the edit
// was made from. An outside save that came in the moment between the check and the exchange is put
// back, and so is any save that came in place while it was out (by a rename, or written into the new
// file): the newest save ends in place and the edit is made again on it. When saves keep coming, the
// edit gives up after a few put-backs; the put-backs go on until what comes out of place is what the one
// before brought in, so that the newest save is the one left in place, whenever it came (up to a bound
// against saves without end, where the failure says which is where).
//
// What an exchange took out is removed only when it holds the version the edit was made from or the
// program's own new file (both told by their content); anything else may be another program's save,
// and is kept beside the file as "<file name>.kept" (or ".kept-2" and on, never over an earlier one).
//
// The swap name tells which versions are whose: ".<file name>.tapestrel-<8 letters or digits>-<digest
// of the version the edit was made from>-<digest of the new file>.swap" (the first 16 hex digits of
// their SHA-1). A writer killed in the middle of an exchange leaves its swap file, and the next edit
// of that file (or the next write into its folder, or finishInterruptedIn() at start) finishes the
// exchange: what bears the swap name goes back in place when the file still holds that writer's new
// file, and the new file is removed; otherwise what bears the swap name is removed when it is the
// writer's new file or the version its edit was made from, and kept beside the file when it is not
// (see InterruptedExchanges, which sees to them). An edit that finds another program's save kept so does
// not change the file and names the copy.
class AtomicFile
{
public:
    struct Failure
    {
        QFileDevice::FileError error;
        QString reason;
    };

    // One version of a file: a file replaced by a rename has a new inode, one rewritten in place a
    // new size or modification time (though not always: within one tick of the file system's clock
    // only the bytes tell).
    struct Stamp
    {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNanoseconds = 0;
        bool operator==(const Stamp &) const = default;
    };
    // The stamp of the file a path leads to (links followed); a file that is not there has none.
    static Stamp stampOf(const QString &path);

    // The file a path leads to, links followed as writes follow them (a link to a missing file leads
    // to the file it names, which a write creates); none for a loop.
    static std::optional<QString> resolvedPath(const QString &path);

    // Writes `bytes` as the whole content of `path`; nothing when it succeeded, otherwise why not
    // (the old file is then left as it was).
    static std::optional<Failure> replace(const QString &path, const QByteArray &bytes);

    // What an edit is made from. A missing file has no content; `bytes` holds at most one byte more
    // than the limit given to edit(), so a caller can tell a file that is too large.
    struct Content
    {
        bool exists = false;
        QByteArray bytes;
    };
    // Makes the new content from the current one: the bytes to write, or none to leave the file as
    // it is. It may throw; the exception leaves edit() and nothing is written.
    using Edit = std::function<std::optional<QByteArray>(const Content &content)>;

    // Whether content may be another program's save caught half way: by default, content of
    // nothing but blanks. Callers add what does not parse and what else holds no settings.
    using Unfinished = std::function<bool(const QByteArray &bytes)>;

    // Reads `path` (only a regular file), hands its content to `edit` and writes the result
    // atomically. An exchange of the file that a killed writer left half done is finished first.
    // When another program changed the file between the read and the replacement, the edit is made
    // again on the new content; after a few such tries it gives up and writes nothing. A link that
    // leads nowhere (a loop, or a missing file) is an error, not a missing file.
    //
    // Content that looks unfinished is not trusted at once: a program that saves in place truncates
    // the file and only then writes it again, perhaps piece by piece, and that moment must not be
    // taken for a file without settings. Such a file that changed within the saving window (see
    // SaveWait) is waited for, up to the settling time from now (call it off the GUI thread), and the
    // edit is made on what it then holds; one that still looks unfinished is left alone and the edit
    // fails with SaveWait::reason(). One that has not changed for longer is handed to `edit` as it is.
    //
    // Nothing when the file was written or left alone as the edit asked, otherwise why not (the file
    // is then as the other programs left it); a file that could not be read gives a ReadError.
    static std::optional<Failure> edit(const QString &path, qint64 maxBytes, const Edit &edit,
                                       const Unfinished &unfinished = {});

    // Waits for a file that looks unfinished (it holds nothing or does not parse) while it may be
    // another program's save in progress, for writers that read files themselves (edit() does this on
    // its own). Nothing is locked while it waits: a writer gives up its locks first and reads the file
    // again afterwards.
    class SaveWait
    {
    public:
        // The one rule of both edit() and the preference domains' writes: a file whose content looks
        // unfinished is waited for while it may still be being saved, that is when it changed within
        // the saving window (a minute). A time ahead of the clock by at most that window counts as now;
        // one further ahead (a clock set wrong, a file copied from elsewhere) counts as long quiet.
        static bool isToBeWaitedFor(const Stamp &stamp, bool looksUnfinished);
        // Waits until the file a path leads to is no longer the version `stamp` describes, at most
        // until the settling time after the first call on this object (so that a file written a piece
        // at a time is not waited for without end). True when it changed, false when the time is up.
        bool waitForChange(const QString &path, const Stamp &stamp);
        // Why a file that still looks unfinished is left as it is: when it changed, and that another
        // program may still be saving it.
        static QString reason(const Stamp &stamp);
        // Whether it has waited, and for how long so far, in words.
        bool hasWaited() const { return m_started.has_value(); }
        QString waited() const;

    private:
        std::optional<qint64> m_started;
        std::optional<qint64> m_deadline;
    };

    // How long a file that looks unfinished is waited for (a few seconds; the environment variable
    // TAPESTREL_SETTLE_MILLISECONDS sets it for a process and the tools it starts), and how long after
    // its last change it may still be a save in progress (a minute). Tests shorten them. Each gives
    // the former one.
    static std::chrono::milliseconds setSettleTime(std::chrono::milliseconds time);
    static std::chrono::milliseconds setSavingWindow(std::chrono::milliseconds time);

    // Finishes the exchanges of `path` that killed writers left half done (see above). Nothing, or why
    // the file is to be left as it is: another program's save was kept beside it, which it names.
    static std::optional<Failure> finishInterrupted(const QString &path);
    // The same for every file in a folder; what is kept is only logged.
    static void finishInterruptedIn(const QString &folder);

    // Lets a test act as another program at the moments that matter: the observer is called with the
    // path as given before each look of edit() at the file (a read, or a check while it waits for an
    // unfinished file), and in every commit() that expects a version of the file, after the new
    // content is written, right before the check that precedes the replacement (Replacing), right
    // after it (Renaming), once the new file bears its swap name (Exchanging), right after the
    // exchange (Exchanged), and right before and after each exchange that puts an outside save back in
    // place (PuttingBack, PutBack; after it, before what came out is looked at). None removes it.
    enum class EditStep { Reading, Replacing, Renaming, Exchanging, Exchanged, PuttingBack, PutBack };
    using EditObserver = std::function<void(EditStep step, const QString &path)>;
    static void setEditObserver(EditObserver observer);

    // Whether a file name has the form of this program's temporary files (either kind).
    static bool isTemporaryFileName(const QString &fileName);

    // Finishes the exchange of `target` (an absolute path, links followed) that a killed writer left, what
    // it took out of place bearing the name `swap` (held and locked by the caller), whose digests of the
    // version its edit was made from and of its new file are `expected` and `written`. When the file in
    // place is still that writer's new file, what bears the swap name goes back (with every put-back's
    // care: a save that comes in place meanwhile is put back in turn); otherwise what bears the swap name
    // is seen to as what comes out of any exchange. Where saves of another program were kept.
    static QStringList finishExchange(const QString &target, const QString &swap, const QByteArray &expected,
                                      const QByteArray &written);
    // The digest of an open regular file as a swap name bears it; empty when it cannot be read.
    static QByteArray versionOfFile(int fd);
    // Whether `name` (links not followed) bears the regular file open as `fd`.
    static bool bearsFile(const QByteArray &name, int fd);

    explicit AtomicFile(const QString &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool open();
    // Appends every one of `size` bytes or fails; after a failure nothing can be committed.
    // Call expect() before the first write.
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // Makes commit() replace the file only while it still has `stamp` and holds `bytes` (for a stamp of
    // a file that exists).
    void expect(const Stamp &stamp, const QByteArray &bytes);
    // Puts the written bytes in place of the file; false (and the old file kept) after any failure,
    // or when the file is no longer the one expect() described, also when that shows only in the file
    // that the exchange took out of place (changedMeanwhile() then tells).
    bool commit();
    bool changedMeanwhile() const { return m_changedMeanwhile; }

    QFileDevice::FileError error() const { return m_error; }
    QString errorString() const { return m_errorString; }

private:
    // A file that an exchange put in place: held open, and as it was right after.
    struct Placed
    {
        int fd = -1;
        qint64 size = 0;
        qint64 modifiedNanoseconds = 0;
        bool ours = false;
    };

    bool fail(QFileDevice::FileError error, const QString &reason);
    bool changed();
    bool stillExpected();
    // The steps of an exchange.
    int openInPlace();
    int holdSwap() const;
    bool exchange();
    bool swapWithTarget();
    bool isExpectedVersion(int old) const;
    bool holdsUnchanged(const Placed &placed, const QString &name) const;
    bool putBack(Placed placed);
    void setAside();
    QString keptText(const QString &text) const;
    bool renameOver();
    bool done();
    void discard();

    QString m_path;
    QString m_target; // m_path with its links followed
    QString m_stem; // the names of this writer's files, without their ends
    QString m_temporary; // where our file is while it is ours alone; empty once it has been exchanged
    QString m_swap; // the name that bears what an exchange took out of place
    QCryptographicHash m_written {
        QCryptographicHash::Sha1}; // of the bytes written, when a version is expected
    QByteArray m_writtenVersion; // the digests that the swap name bears (see above)
    QByteArray m_expectedVersion;
    QStringList m_kept; // where what came out of place was kept
    int m_fd = -1;
    bool m_failed = false;
    bool m_changedMeanwhile = false;
    std::optional<Stamp> m_expectedStamp;
    QByteArray m_expectedBytes;
    QFileDevice::FileError m_error = QFileDevice::NoError;
    QString m_errorString;
};

} // namespace Platform
