#pragma once

#include <QFileDevice>
#include <QSaveFile>
#include <QString>

#include <optional>

namespace Platform {

// Replaces a whole file at once: the bytes go to a temporary file beside it, which is renamed over
// the file only once every byte is written. A symbolic link is followed to the file it leads to, and
// the permissions of the file it replaces are kept (QSaveFile does both).
//
// The temporary file is written unbuffered and in a loop that checks every write. Through a buffer,
// a short write (a full disk, a file-size limit) only shows when the buffer is flushed at commit,
// which QSaveFile does not check: the shortened file would replace the old one and the commit would
// report success.
class AtomicFile
{
public:
    struct Failure
    {
        QFileDevice::FileError error;
        QString reason;
    };

    // Writes `bytes` as the whole content of `path`; nothing when it succeeded, otherwise why not
    // (the old file is then left as it was).
    static std::optional<Failure> replace(const QString &path, const QByteArray &bytes);

    explicit AtomicFile(const QString &path);

    bool open();
    // Appends every one of `size` bytes or fails; after a failure nothing can be committed.
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // Puts the written bytes in place of the file; false (and the old file kept) after any failure.
    bool commit();

    QFileDevice::FileError error() const { return m_file.error(); }
    QString errorString() const { return m_file.errorString(); }

private:
    QSaveFile m_file;
    bool m_failed = false;
};

} // namespace Platform
