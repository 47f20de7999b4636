#pragma once

#include "platform/AtomicFile.h"
#include "testsupport/ScopedVariable.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QString>

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <utility>

#include <gtest/gtest.h>

namespace TestSupport {

// Plays another program that writes a file at exactly the moments the program edits it: before a
// look at the file or right before its rename (AtomicFile's edit steps). Actions are given per step
// and occurrence, so a race happens the same way every run. Edits of other files are not affected.
// Actions may run on a worker thread.
class OutsideWriter
{
public:
    using Step = Platform::AtomicFile::EditStep;
    using Action = std::function<void()>;

    explicit OutsideWriter(QString path)
        : m_path(std::move(path))
    {
        Platform::AtomicFile::setEditObserver([this](Step step, const QString &path) {
            if (path != m_path)
                return;
            Action action;
            {
                QMutexLocker locker(&m_mutex);
                const int occurrence = ++m_counts[int(step)];
                action = m_actions.value(key(step, occurrence), m_always.value(int(step)));
            }
            if (action)
                action();
        });
    }
    ~OutsideWriter() { Platform::AtomicFile::setEditObserver({}); }
    OutsideWriter(const OutsideWriter &) = delete;
    OutsideWriter &operator=(const OutsideWriter &) = delete;

    // Runs `action` at the `occurrence`-th (from 1) time the step comes for the file.
    void at(Step step, int occurrence, Action action)
    {
        QMutexLocker locker(&m_mutex);
        m_actions.insert(key(step, occurrence), std::move(action));
    }
    // Runs `action` each time the step comes, unless at() gave one for that time.
    void always(Step step, Action action)
    {
        QMutexLocker locker(&m_mutex);
        m_always.insert(int(step), std::move(action));
    }
    int count(Step step) const
    {
        QMutexLocker locker(&m_mutex);
        return m_counts.value(int(step));
    }

    // An editor's save in place: the same file (inode) truncated, then written.
    static void truncate(const QString &path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    }
    static void writeInPlace(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // A save by rename: a new file (inode) in the old one's place.
    static void replaceByRename(const QString &path, const QByteArray &bytes)
    {
        // Beside it under a short name: the file's own may be as long as a name can be.
        const QString temporary = QFileInfo(path).dir().filePath(QStringLiteral(".outside-save"));
        writeInPlace(temporary, bytes);
        ASSERT_EQ(::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()), 0);
    }
    // Sets the file's modification time `seconds` into the past (or, negative, the future).
    static void age(const QString &path, int seconds)
    {
        timespec times[2] {};
        clock_gettime(CLOCK_REALTIME, &times[1]);
        times[1].tv_sec -= seconds;
        times[0] = times[1];
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
    // Gives the file back an earlier modification time to the nanosecond, as a rewrite within one
    // tick of the file system's clock leaves it.
    static timespec modified(const QString &path)
    {
        struct stat info
        {
        };
        ::stat(QFile::encodeName(path).constData(), &info);
        return info.st_mtim;
    }
    static void setModified(const QString &path, const timespec &time)
    {
        const timespec times[2] {time, time};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
    // A save in place within one tick of that clock: the file keeps its time, only the bytes tell.
    static void writeInPlaceUnseen(const QString &path, const QByteArray &bytes)
    {
        const timespec before = modified(path);
        writeInPlace(path, bytes);
        setModified(path, before);
    }

private:
    static int key(Step step, int occurrence) { return int(step) * 100000 + occurrence; }

    const QString m_path;
    mutable QMutex m_mutex;
    QHash<int, Action> m_actions;
    QHash<int, Action> m_always;
    QHash<int, int> m_counts;
};

// Shortens the time that edits wait for a file that looks unfinished, in this process and in the tools
// it starts (the defaults tool), for as long as it lives.
class SettleTime
{
public:
    explicit SettleTime(std::chrono::milliseconds time)
        : m_variable("TAPESTREL_SETTLE_MILLISECONDS", QByteArray::number(qint64(time.count())))
        , m_former(Platform::AtomicFile::setSettleTime(time))
    { }
    ~SettleTime() { Platform::AtomicFile::setSettleTime(m_former); }
    SettleTime(const SettleTime &) = delete;
    SettleTime &operator=(const SettleTime &) = delete;

private:
    const ScopedVariable m_variable;
    const std::chrono::milliseconds m_former;
};

} // namespace TestSupport
