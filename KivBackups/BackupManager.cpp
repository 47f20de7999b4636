#include "KivBackups/BackupManager.h"

#include "KivBackups/FileOperations.h"
#include "KivBackups/FileSuffix.h"
#include "KivUtilities/MediumDateText.h"
#include "KivUtilities/NextEmission.h"
#include "zip/Zip.h"
#include "zip/ZipWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace KivBackups {

namespace {

struct ArchiveOutcome
{
    QString path;
    std::exception_ptr error;
};

QString archivePath(const BackupManager::Configuration &configuration, const QString &name, bool locked)
{
    const QString path =
        QDir(configuration.backupStorePath).filePath(name + QLatin1Char('.') + configuration.fileExtension);
    return locked ? FileSuffix::pathAdding(path, Backup::lockedSuffix) : path;
}

// A hidden name in the backups folder (made when missing) for an archive being written.
QString temporaryArchivePath(const BackupManager::Configuration &configuration)
{
    if (!QDir().mkpath(configuration.backupStorePath))
        throw BackupError::fromErrno(errno, QCoreApplication::translate("KivBackups", "Creating"),
                                     configuration.backupStorePath);
    return QDir(configuration.backupStorePath)
        .filePath(QLatin1Char('.') + QUuid::createUuid().toString(QUuid::WithoutBraces)
                  + QStringLiteral(".partial"));
}

BackupError noData()
{
    return BackupError(BackupError::domain, 2,
                       QCoreApplication::translate("KivBackups", "There was no data to back up."));
}

// Moves a complete archive from its hidden temporary name in the backups folder to its final name.
// A second backup in the same second gets "-1", "-2", ... after the date, so it still reads as that
// date and replaces nothing.
QString publishArchive(const BackupManager::Configuration &configuration, const QDateTime &date, bool locked,
                       const QString &temporary)
{
    const QString dateText = Backup::dateText(date);
    for (int attempt = 0;; ++attempt) {
        const QString name = attempt == 0 ? dateText : dateText + QLatin1Char('-') + QString::number(attempt);
        const QString path = archivePath(configuration, name, locked);
        try {
            FileOperations::moveWithoutReplacing(temporary, path);
            return path;
        } catch (const BackupError &error) {
            if (error.code() != EEXIST || attempt >= 999) {
                QFile::remove(temporary);
                throw;
            }
        }
    }
}

// Packs the files of the working folder into a new archive.
QString writeArchive(const BackupManager::Configuration &configuration, const QDateTime &date, bool locked,
                     const QString &workingDirectory)
{
    const QString temporary = temporaryArchivePath(configuration);
    QStringList files;
    const QDir work(workingDirectory);
    for (const QString &name : work.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        files.append(work.filePath(name));
    if (files.isEmpty())
        throw noData();
    Zip::Zip::zipFiles(files, temporary);
    return publishArchive(configuration, date, locked, temporary);
}

// Writes the entries of an archive, dated with the backup's moment, on a thread of its own while
// the handler makes the next pieces: compressing costs about as much as making the data, so the two
// overlap. At most a few pieces wait, so the data is never held whole.
class ArchivePipeline : public BackupFileWriter
{
public:
    ArchivePipeline(const QString &path, const QDateTime &date)
        : m_zip(path)
        , m_date(date)
        , m_thread([this] { run(); })
    { }
    // Without finish() the archive is abandoned: what waits is dropped and the file removed.
    ~ArchivePipeline() override
    {
        if (m_thread.joinable()) {
            {
                const std::lock_guard lock(m_mutex);
                m_abandoned = true;
                m_queue.clear();
            }
            m_changed.notify_all();
            m_thread.join();
        }
    }
    ArchivePipeline(const ArchivePipeline &) = delete;
    ArchivePipeline &operator=(const ArchivePipeline &) = delete;

    void beginFile(const QString &name) override
    {
        push({Step::Begin, name, {}});
        ++m_fileCount;
    }
    void write(QByteArrayView bytes) override
    {
        if (bytes.isEmpty())
            return;
        // Into a buffer that an earlier piece used: fresh ones would be new pages every time.
        QByteArray buffer;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_spare.empty()) {
                buffer = std::move(m_spare.back());
                m_spare.pop_back();
            }
        }
        buffer.resize(0);
        buffer.append(bytes.data(), bytes.size());
        push({Step::Write, {}, std::move(buffer)});
    }
    void endFile() override { push({Step::End, {}, {}}); }

    int fileCount() const { return m_fileCount; }
    // Completes the archive once every piece is written; throws what went wrong on the way.
    void finish()
    {
        push({Step::Finish, {}, {}});
        m_thread.join();
        if (m_error)
            std::rethrow_exception(m_error);
    }

private:
    enum class Step { Begin, Write, End, Finish };
    struct Item
    {
        Step step;
        QString name;
        QByteArray bytes;
    };
    static constexpr qsizetype maximumWaiting = 8;

    void push(Item item)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_error || m_queue.size() < maximumWaiting; });
        if (m_error)
            std::rethrow_exception(m_error);
        m_queue.push_back(std::move(item));
        lock.unlock();
        m_changed.notify_all();
    }

    void run()
    {
        for (;;) {
            Item item;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_abandoned || !m_queue.empty(); });
                if (m_abandoned)
                    return;
                item = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_changed.notify_all();
            try {
                switch (item.step) {
                case Step::Begin:
                    m_zip.beginEntry(item.name, m_date);
                    break;
                case Step::Write: {
                    m_zip.write(item.bytes);
                    const std::lock_guard lock(m_mutex);
                    if (m_spare.size() < maximumWaiting)
                        m_spare.push_back(std::move(item.bytes));
                    break;
                }
                case Step::End:
                    m_zip.endEntry();
                    break;
                case Step::Finish:
                    m_zip.finish();
                    return;
                }
            } catch (...) {
                {
                    const std::lock_guard lock(m_mutex);
                    m_error = std::current_exception();
                }
                m_changed.notify_all();
                return;
            }
        }
    }

    Zip::ZipWriter m_zip;
    QDateTime m_date;
    int m_fileCount = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    std::vector<QByteArray> m_spare;
    bool m_abandoned = false;
    std::exception_ptr m_error;
    std::thread m_thread; // last: it starts working at once
};

// Has the handler's work write its files straight into a new archive.
QString writeStreamedArchive(const BackupManager::Configuration &configuration, const QDateTime &date,
                             bool locked, const StreamedBackup &work)
{
    const QString temporary = temporaryArchivePath(configuration);
    {
        ArchivePipeline archive(temporary, date);
        work(archive);
        if (archive.fileCount() == 0)
            throw noData();
        archive.finish();
    }
    return publishArchive(configuration, date, locked, temporary);
}

ArchiveOutcome writeArchiveCaught(BackupManager::Configuration configuration, QDateTime date, bool locked,
                                  QString workingDirectory, StreamedBackup work)
{
    try {
        return {work ? writeStreamedArchive(configuration, date, locked, work)
                     : writeArchive(configuration, date, locked, workingDirectory),
                {}};
    } catch (...) {
        return {{}, std::current_exception()};
    }
}

// The refusal of an archive to restore, its texts filled in at once (a name may hold "%1" itself).
template<typename... Texts> BackupError refusal(int code, const char *message, const Texts &...texts)
{
    return BackupError(BackupError::domain, code,
                       QCoreApplication::translate("KivBackups", message).arg(texts...));
}

// Refuses, before anything is unpacked, an archive no backup made: a member too large, one that
// expands far more than the program's data does, two members that would unpack to one file.
void checkMembers(const QList<Zip::Zip::EntryInfo> &entries)
{
    const QLocale locale;
    if (entries.size() > BackupManager::maximumMembers)
        throw refusal(BackupError::tooManyMembersCode,
                      "The backup cannot be restored: it holds more than %1 files, more than a backup holds.",
                      locale.toString(BackupManager::maximumMembers));
    QSet<QString> seen;
    for (const Zip::Zip::EntryInfo &entry : entries) {
        QString name = entry.name;
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
        name = QDir::cleanPath(name);
        if (seen.contains(name))
            throw refusal(BackupError::duplicateMemberCode,
                          "The backup cannot be restored: it holds the file “%1” twice.", entry.name);
        seen.insert(name);
        if (entry.uncompressedSize > BackupManager::maximumMemberSize)
            throw refusal(BackupError::memberTooLargeCode,
                          "The backup cannot be restored: its file “%1” would take %2, more than the %3 a "
                          "file of a backup can hold.",
                          entry.name, locale.formattedDataSize(entry.uncompressedSize),
                          locale.formattedDataSize(BackupManager::maximumMemberSize));
        // Multiplied only where it cannot overflow: a larger compressed size is more than any member
        // within the size limit needs.
        if (entry.compressedSize <= std::numeric_limits<qint64>::max() / BackupManager::maximumExpansion
            && entry.uncompressedSize - BackupManager::expansionAllowance
                > BackupManager::maximumExpansion * entry.compressedSize)
            throw refusal(BackupError::memberTooCompressedCode,
                          "The backup cannot be restored: its file “%1” would expand from %2 to %3, more "
                          "than %4 times its size beyond the first %5.",
                          entry.name, locale.formattedDataSize(entry.compressedSize),
                          locale.formattedDataSize(entry.uncompressedSize),
                          QString::number(BackupManager::maximumExpansion),
                          locale.formattedDataSize(BackupManager::expansionAllowance));
    }
}

// The same limit on what a member really expands from: the bytes read for it, which an archive that
// declares a larger compressed size than its data takes would otherwise pass.
void checkExpansion(const QString &name, qint64 read, qint64 written)
{
    if (written - BackupManager::expansionAllowance <= BackupManager::maximumExpansion * read)
        return;
    const QLocale locale;
    throw refusal(BackupError::memberTooCompressedCode,
                  "The backup cannot be restored: its file “%1” expands from %2 to more than %3, more than "
                  "%4 times its size beyond the first %5.",
                  name, locale.formattedDataSize(read), locale.formattedDataSize(written),
                  QString::number(BackupManager::maximumExpansion),
                  locale.formattedDataSize(BackupManager::expansionAllowance));
}

std::exception_ptr unpackCaught(QString archive, QString destination, QStringList names)
{
    try {
        checkMembers(Zip::Zip::entries(archive));
        Zip::EntryFilter filter;
        if (!names.isEmpty())
            filter = [names](const QString &name) {
                return names.contains(name);
            };
        Zip::Zip::unzipFile(archive, destination, true, std::nullopt, {}, {}, filter, &checkExpansion);
        return {};
    } catch (...) {
        return std::current_exception();
    }
}

// A restore's failure as the person sees it: naming the backup they chose, and the files unpacked from
// it by their names in it rather than by the working folder's copies.
BackupError restoreFailure(const std::exception_ptr &failure, const Backup &backup,
                           const QString &workingCopy)
{
    QString domain = BackupError::domain;
    int code = BackupError::restoreFailedCode;
    QString reason;
    try {
        std::rethrow_exception(failure);
    } catch (const BackupError &error) {
        domain = error.errorDomain();
        code = error.code();
        reason = error.message();
    } catch (const std::exception &error) {
        reason = QString::fromUtf8(error.what());
    }
    reason.replace(QDir(workingCopy).absolutePath() + QLatin1Char('/'), QString());
    reason.replace(QDir(workingCopy).path() + QLatin1Char('/'), QString());
    const QString unnamed = QCoreApplication::translate("KivBackups", "The backup cannot be restored: ");
    if (reason.startsWith(unnamed))
        reason.remove(0, unnamed.size());
    else if (reason.size() > 1 && reason[1].isLower())
        reason[0] = reason[0].toLower();
    return BackupError(domain, code,
                       QCoreApplication::translate("KivBackups", "The backup “%1” cannot be restored: %2")
                           .arg(backup.url.fileName(), reason));
}

const QString workingFolderName = QStringLiteral(".working");

QTemporaryDir makeWorkingDirectory(const QString &base)
{
    QDir().mkpath(base);
    QTemporaryDir directory(QDir(base).filePath(QStringLiteral("work-XXXXXX")));
    if (!directory.isValid())
        throw BackupError(BackupError::fileSystemDomain, EIO,
                          QCoreApplication::translate("KivBackups", "Could not create a temporary folder: %1")
                              .arg(directory.errorString()));
    return directory;
}

} // namespace

BackupManager::BackupManager(Configuration configuration, std::shared_ptr<BackupHandler> backupHandler,
                             QObject *parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_backupHandler(std::move(backupHandler))
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    m_backups = listBackups(m_configuration.backupStorePath, m_configuration.fileExtension);
    updateTotalSize();
    // Nothing works in them yet: what is there was left by a process that ended mid-way. Links
    // are removed, never followed.
    const QString working = workingFolderPath();
    if (QFileInfo(working).isSymLink())
        QFile::remove(working);
    else
        QDir(working).removeRecursively();
}

QString BackupManager::workingFolderPath() const
{
    return QDir(m_configuration.backupStorePath).filePath(workingFolderName);
}

void BackupManager::setBackups(const QList<Backup> &backups)
{
    m_backups = backups;
    emit backupsChanged();
    updateTotalSize();
}

void BackupManager::updateTotalSize()
{
    qint64 total = 0;
    for (const Backup &backup : std::as_const(m_backups))
        total += backup.size;
    if (total == m_totalSize)
        return;
    m_totalSize = total;
    emit totalSizeChanged();
}

void BackupManager::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void BackupManager::setIsWorking(bool isWorking)
{
    if (m_isWorking == isWorking)
        return;
    m_isWorking = isWorking;
    emit isWorkingChanged();
}

QList<Backup> BackupManager::listBackups(const QString &directory, const QString &fileExtension)
{
    QList<Backup> result;
    const QDir folder(directory);
    const QFileInfoList entries =
        folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix() != fileExtension)
            continue;
        if (std::optional<Backup> backup = Backup::fromUrl(QUrl::fromLocalFile(entry.absoluteFilePath())))
            result.append(*backup);
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const Backup &a, const Backup &b) { return a.date < b.date; });
    return result;
}

QCoro::Task<void> BackupManager::makeBackup(bool locked)
{
    QPointer<BackupManager> self(this);
    const std::shared_ptr<BackupHandler> handler = m_backupHandler;
    const Configuration configuration = m_configuration;
    const QDateTime date = m_clock();
    setIsWorking(true);

    std::exception_ptr failure;
    try {
        // A handler that streams its files needs no working folder.
        StreamedBackup streamed = handler->streamedBackup();
        std::optional<QTemporaryDir> work;
        if (!streamed) {
            work.emplace(makeWorkingDirectory(workingFolderPath()));
            co_await handler->backup(work->path());
        }
        QFuture<ArchiveOutcome> future =
            QtConcurrent::run(&writeArchiveCaught, configuration, date, locked,
                              work ? work->path() : QString(), std::move(streamed));
        const ArchiveOutcome outcome = co_await future;
        if (outcome.error)
            std::rethrow_exception(outcome.error);
    } catch (...) {
        failure = std::current_exception();
    }
    if (self && !failure)
        co_await self->reload();
    if (self)
        self->setIsWorking(false);
    if (failure)
        std::rethrow_exception(failure);
}

QCoro::Task<QStringList> BackupManager::restore(Backup backup)
{
    return restoreInTurn(std::move(backup), false);
}

QCoro::Task<QStringList> BackupManager::restoreKeepingCurrent(Backup backup)
{
    return restoreInTurn(std::move(backup), true);
}

QCoro::Task<QStringList> BackupManager::restoreInTurn(Backup backup, bool keepCurrentFirst)
{
    QPointer<BackupManager> self(this);
    const quint64 turn = m_restoresAsked++;
    const QString name = backup.url.fileName();
    m_restoring.append(name);
    // Edits made while this restore waits its turn are written after it as well.
    const std::shared_ptr<void> hold = m_backupHandler->holdForRestore();
    // However the restore ends, the next one's turn comes.
    const auto endTurn = qScopeGuard([self, name] {
        if (!self)
            return;
        self->m_restoring.removeOne(name);
        ++self->m_restoresEnded;
        emit self->restoreEnded();
    });
    while (self && self->m_restoresEnded < turn)
        co_await KivUtilities::nextEmission(self.get(), &BackupManager::restoreEnded);
    const auto closed = [&backup] {
        return restoreFailure(std::make_exception_ptr(std::runtime_error("the backups were closed")), backup,
                              {});
    };
    if (!self)
        throw closed();
    if (keepCurrentFirst)
        co_await self->makeBackup(true);
    if (!self)
        throw closed();
    co_return co_await self->unpackAndRestore(std::move(backup));
}

QCoro::Task<QStringList> BackupManager::unpackAndRestore(Backup backup)
{
    QPointer<BackupManager> self(this);
    const std::shared_ptr<BackupHandler> handler = m_backupHandler;
    Zip::Zip::addCustomFileExtension(m_configuration.fileExtension);

    QTemporaryDir work = makeWorkingDirectory(workingFolderPath());
    std::exception_ptr failure;
    try {
        QFuture<std::exception_ptr> future =
            QtConcurrent::run(&unpackCaught, backup.path(), work.path(), handler->restoredFileNames());
        const std::exception_ptr error = co_await future;
        if (error)
            std::rethrow_exception(error);
        if (self)
            self->m_handlerRestoring = true;
        const auto handlerReturned = qScopeGuard([self] {
            if (self)
                self->m_handlerRestoring = false;
        });
        co_return co_await handler->restore(work.path());
    } catch (...) {
        failure = std::current_exception();
    }
    throw restoreFailure(failure, backup, work.path());
}

QStringList BackupManager::unfinishedRestores() const
{
    QStringList unfinished = m_restoring;
    if (m_handlerRestoring && !unfinished.isEmpty() && m_backupHandler->restoreStored())
        unfinished.removeFirst();
    return unfinished;
}

QCoro::Task<void> BackupManager::restoresOver()
{
    QPointer<BackupManager> self(this);
    while (self && self->isRestoring())
        co_await KivUtilities::nextEmission(self.get(), &BackupManager::restoreEnded);
}

QCoro::Task<void> BackupManager::deleteBackup(Backup backup)
{
    QPointer<BackupManager> self(this);
    // The mark on disk counts as well as the one the caller saw.
    if (backup.isLocked || Backup::isLockedPath(backup.path()))
        throw lockedBackupError(backup);
    FileOperations::remove(backup.path());
    co_await reload();
}

QCoro::Task<void> BackupManager::reload()
{
    QPointer<BackupManager> self(this);
    QFuture<QList<Backup>> future = QtConcurrent::run(
        &BackupManager::listBackups, m_configuration.backupStorePath, m_configuration.fileExtension);
    const QList<Backup> backups = co_await future;
    if (self)
        self->setBackups(backups);
}

QCoro::Task<void> BackupManager::lock(Backup backup, bool reload)
{
    QPointer<BackupManager> self(this);
    // An immutable file must not be renamed, so the name changes first.
    const QString path = FileSuffix(backup.path()).add(Backup::lockedSuffix);
    FileOperations::setImmutable(path, true);
    if (reload && self)
        co_await self->reload();
}

QCoro::Task<void> BackupManager::unlock(Backup backup, bool reload)
{
    QPointer<BackupManager> self(this);
    FileOperations::setImmutable(backup.path(), false);
    FileSuffix(backup.path()).remove(Backup::lockedSuffix);
    if (reload && self)
        co_await self->reload();
}

BackupError BackupManager::lockedBackupError(const Backup &backup)
{
    const QString date = KivUtilities::mediumDateTimeText(backup.date);
    return BackupError(
        BackupError::domain, BackupError::lockedBackupCode,
        QCoreApplication::translate("KivBackups",
                                    "Backup %1 cannot be deleted, because it's locked. To delete it, "
                                    "unlock it first by choosing Unlock in the contextual menu.")
            .arg(date));
}

} // namespace KivBackups
