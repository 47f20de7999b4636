#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace Platform {

// Replaces a whole file at once: the bytes go to a temporary file beside it, which is renamed over
// the file only once every byte is written. A symbolic link is followed to the file it leads to, and
// the permissions of the file it replaces are kept.
//
// The temporary file is written unbuffered and in a loop that checks every write: through a buffer,
// a short write (a full disk, a file-size limit) would only show when the buffer is flushed, and the
// shortened file could replace the old one.
//
// Temporary files are named ".<file name>.tapestrel-<8 letters or digits>.tmp" and are locked by
// their writer for as long as it works on them. A writer that is killed before its rename leaves
// its temporary file behind; the next write into the same folder removes such leftovers: only files
// of that name, owned by this user, that no live writer holds, and that are not a writer's newly
// created empty file.
//
// Files of other applications are changed with edit(): it reads the file, lets the caller make the
// new content from it, and replaces the file only if, right before the rename, the file is still
// the one the new content was made from. Otherwise the edit is made again on what is there now.
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

    // Whether content holds no settings at all (by default: nothing but blanks).
    using HoldsNothing = std::function<bool(const QByteArray &bytes)>;

    // Reads `path` (only a regular file), hands its content to `edit` and writes the result
    // atomically. When another program changed the file between the read and the rename, the edit
    // is made again on the new content; after a few such tries it gives up and writes nothing.
    // A link that leads nowhere (a loop, or a missing file) is an error, not a missing file.
    //
    // A file that holds nothing is not trusted at once: a program that saves in place truncates the
    // file and only then writes it again, perhaps piece by piece, and that moment must not be taken
    // for a file without settings. When the file held something when this program last saw it, or
    // changed within the settling time, the edit waits until it has held nothing for that long (and
    // no longer than that from now: call it off the GUI thread), and is made on what the file then
    // holds. A file that still holds nothing is left alone and the edit fails: it is being saved. A
    // file that has held nothing for longer is edited as it is.
    //
    // Nothing when the file was written or left alone as the edit asked, otherwise why not (the file
    // is then as the other programs left it); a file that could not be read gives a ReadError.
    static std::optional<Failure> edit(const QString &path, qint64 maxBytes, const Edit &edit,
                                       const HoldsNothing &holdsNothing = {});

    // Tells edit() what a reader of the file saw in it, for it to know later that a file holding
    // nothing held something before.
    static void noteContent(const QString &path, bool holdsSomething);

    // How long an emptied file is waited for (a few seconds); tests shorten it. Gives the former one.
    static std::chrono::milliseconds setSettleTime(std::chrono::milliseconds time);

    // For writers that read a file themselves before replacing it (edit() does this on its own):
    // what an empty file that is about to be written over may be, waiting as edit() does. `stamp` is
    // the empty file as it was read; `seenContent` whether it was seen holding something before.
    enum class EmptyFile {
        Empty, // it has held nothing for long: it may be taken as empty
        Changed, // it changed meanwhile: read it again
        Emptied, // it is being saved: it must not be taken as empty
    };
    static EmptyFile settleEmptyFile(const QString &path, const Stamp &stamp, bool seenContent);

    // Lets a test act as another program at the moments that matter: the observer is called with the
    // path as given before each look of edit() at the file (a read, or a check while it waits for an
    // emptied file), and in every commit() that expects a version of the file, after the new content
    // is written and right before the check that precedes the rename. None removes it.
    enum class EditStep { Reading, Replacing };
    using EditObserver = std::function<void(EditStep step, const QString &path)>;
    static void setEditObserver(EditObserver observer);

    // Whether a file name has the form of this program's temporary files.
    static bool isTemporaryFileName(const QString &fileName);

    explicit AtomicFile(const QString &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool open();
    // Appends every one of `size` bytes or fails; after a failure nothing can be committed.
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // Makes commit() rename only while the file still has `stamp` (and, when given, holds `bytes`).
    void expect(const Stamp &stamp, std::optional<QByteArray> bytes = std::nullopt);
    // Puts the written bytes in place of the file; false (and the old file kept) after any failure,
    // or when the file is no longer the one expect() described (changedMeanwhile() then tells).
    bool commit();
    bool changedMeanwhile() const { return m_changedMeanwhile; }

    QFileDevice::FileError error() const { return m_error; }
    QString errorString() const { return m_errorString; }

private:
    bool fail(QFileDevice::FileError error, const QString &reason);
    void discard();

    QString m_path;
    QString m_target; // m_path with its links followed
    QString m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    bool m_changedMeanwhile = false;
    std::optional<Stamp> m_expectedStamp;
    std::optional<QByteArray> m_expectedBytes;
    QFileDevice::FileError m_error = QFileDevice::NoError;
    QString m_errorString;
};

} // namespace Platform
