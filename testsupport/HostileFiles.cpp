#include "testsupport/HostileFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TestSupport {

namespace HostileFiles {

namespace {

bool makeFolder(const QString &path)
{
    return QDir().mkpath(QFileInfo(path).absolutePath());
}

} // namespace

bool makePipe(const QString &path)
{
    return makeFolder(path) && ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool makeLinkLoop(const QString &path)
{
    return makeFolder(path)
        && ::symlink(QFile::encodeName(QFileInfo(path).fileName()).constData(),
                     QFile::encodeName(path).constData())
        == 0;
}

bool makeSparseFile(const QString &path, qint64 size)
{
    if (!makeFolder(path))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(size);
}

SwappingPipe::SwappingPipe(const QString &path, const QByteArray &bytes)
    : m_path(path)
    , m_folder(QFileInfo(path).absolutePath() + QStringLiteral("/.swapping"))
{
    QFile file(m_folder + QStringLiteral("/file"));
    m_valid = makePipe(pipe()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    file.close();
    if (!m_valid)
        return;
    const QByteArray target = QFile::encodeName(path);
    const QByteArray fileName = QFile::encodeName(file.fileName());
    const QByteArray pipeName = QFile::encodeName(pipe());
    const QByteArray staged = QFile::encodeName(m_folder + QStringLiteral("/staged"));
    const auto put = [target, staged](const QByteArray &source) {
        ::unlink(staged.constData());
        if (::link(source.constData(), staged.constData()) == 0)
            ::rename(staged.constData(), target.constData());
    };
    put(fileName);
    m_thread = std::thread([this, put, fileName, pipeName] {
        while (!m_stop) {
            put(pipeName);
            put(fileName);
        }
    });
}

SwappingPipe::~SwappingPipe()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    QDir(m_folder).removeRecursively();
}

QString SwappingPipe::pipe() const
{
    return m_folder + QStringLiteral("/pipe");
}

SwappingPipe::Tally SwappingPipe::keepReading(const std::function<bool()> &read) const
{
    Tally tally;
    tally.took = timeWithPipes({pipe()}, [&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (std::chrono::steady_clock::now() < end)
            ++(read() ? tally.read : tally.refused);
    });
    return tally;
}

} // namespace HostileFiles

std::chrono::milliseconds timeWithPipes(const QStringList &pipes, const std::function<void()> &work,
                                        std::chrono::milliseconds limit)
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (finished.wait_for(lock, limit, [&] { return done; }))
            return;
        // A writer that comes and goes: a reader waiting in open() goes on and then reads the end.
        while (!finished.wait_for(lock, std::chrono::milliseconds(10), [&] { return done; })) {
            for (const QString &pipe : pipes) {
                const int descriptor = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
                if (descriptor >= 0)
                    ::close(descriptor);
            }
        }
    });
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto took = std::chrono::steady_clock::now() - start;
    {
        const std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(took);
}

} // namespace TestSupport
