#include "Tapestrel/backup/TapestrelBackupHandler.h"

#include "KivBackups/BackupError.h"
#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/backup/CustomBackgroundImporter.h"
#include "Tapestrel/backup/ProfileImporter.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

namespace {

ModelStoreError storeGone()
{
    return ModelStoreError(
        ModelError::Code::StoreUnavailable,
        QCoreApplication::translate("TapestrelBackupHandler", "The profile store is not open."));
}

struct Decoded
{
    QList<ProfileForm> profiles;
    QList<BackgroundForm> backgrounds;
    std::exception_ptr error;
};

// The documents go with the call: each is freed once its forms are made.
Decoded decode(JsonCoder::Json profilesJson, JsonCoder::Json backgroundsJson)
{
    try {
        Decoded decoded;
        decoded.profiles = BackupJson::decodeForms<ProfileForm>(std::exchange(profilesJson, {}));
        decoded.backgrounds = BackupJson::decodeForms<BackgroundForm>(std::exchange(backgroundsJson, {}));
        return decoded;
    } catch (...) {
        return {{}, {}, std::current_exception()};
    }
}

KivBackups::BackupError refusal(int code, const QString &message)
{
    return KivBackups::BackupError(KivBackups::BackupError::domain, code, message);
}

// Refuses, before anything changes, a file of more values of any kind than the records hold.
void checkValues(const BackupJson::ArrayCounts &counts)
{
    if (counts.values > TapestrelBackupHandler::maximumValues)
        throw refusal(KivBackups::BackupError::tooManyRecordsCode,
                      QCoreApplication::translate("TapestrelBackupHandler",
                                                  "The backup cannot be restored: a file in it holds more "
                                                  "than %1 values, more than a restore takes.")
                          .arg(QLocale().toString(TapestrelBackupHandler::maximumValues)));
}

// Refuses, before anything changes, a file of profiles that holds more options than a restore takes
// (in one profile, or in all), or more values of any kind than such a file holds.
void checkProfilesFile(const BackupJson::ArrayCounts &counts)
{
    const QLocale locale;
    if (counts.largestOptions > ProfileImporter::maximumOptions)
        throw refusal(KivBackups::BackupError::tooManyRecordsCode,
                      QCoreApplication::translate("TapestrelBackupHandler",
                                                  "The backup cannot be restored: a profile in it holds more "
                                                  "than %1 options, more than a restore takes.")
                          .arg(locale.toString(ProfileImporter::maximumOptions)));
    if (counts.options > TapestrelBackupHandler::maximumOptions)
        throw refusal(
            KivBackups::BackupError::tooManyRecordsCode,
            QCoreApplication::translate("TapestrelBackupHandler",
                                        "The backup cannot be restored: its profiles hold more than "
                                        "%1 options in all, more than a restore takes.")
                .arg(locale.toString(TapestrelBackupHandler::maximumOptions)));
    checkValues(counts);
}

// `message` names the uuid as %1.
template<typename Form> void refuseRepeatedUuid(const QList<Form> &forms, const QString &message)
{
    if (const std::optional<QString> uuid = BackupJson::repeatedUuid(forms))
        throw refusal(KivBackups::BackupError::repeatedRecordCode, message.arg(*uuid));
}

} // namespace

TapestrelBackupHandler::TapestrelBackupHandler(ModelContext *modelContext, QString profilesFileName,
                                               QString backgroundsFileName)
    : m_modelContext(modelContext)
    , m_profilesFileName(std::move(profilesFileName))
    , m_backgroundsFileName(std::move(backgroundsFileName))
{ }

ModelContext *TapestrelBackupHandler::modelContext() const
{
    return m_modelContext;
}

void TapestrelBackupHandler::setModelContext(ModelContext *modelContext)
{
    m_modelContext = modelContext;
}

QCoro::Task<void> TapestrelBackupHandler::backup(QString directory)
{
    if (!m_modelContext)
        throw storeGone();
    const QDir folder(directory);
    QList<BackupJson::StoreFile> files;
    files.append({folder.filePath(m_profilesFileName), BackupJson::StoreDocument::Profiles});
    files.append({folder.filePath(m_backgroundsFileName), BackupJson::StoreDocument::Backgrounds});
    co_await BackupJson::writeStoreFiles(m_modelContext->container()->filePath(), std::move(files));
}

KivBackups::StreamedBackup TapestrelBackupHandler::streamedBackup()
{
    if (!m_modelContext)
        throw storeGone();
    // Read on the thread pool through a connection of its own, as committed: unsaved changes of the
    // main context are not written, as with a context of its own. The files go in by name, as a
    // folder of them is archived.
    QList<std::pair<QString, BackupJson::StoreDocument>> files {
        {m_profilesFileName, BackupJson::StoreDocument::Profiles},
        {m_backgroundsFileName, BackupJson::StoreDocument::Backgrounds}};
    std::sort(files.begin(), files.end());
    return
        [storePath = m_modelContext->container()->filePath(), files](KivBackups::BackupFileWriter &writer) {
            StoreSnapshot snapshot(storePath);
            const StoreSnapshot::Sink sink = [&writer](QByteArrayView bytes) {
                writer.write(bytes);
            };
            for (const auto &[name, document] : files) {
                writer.beginFile(name);
                BackupJson::writeDocument(snapshot, document, sink);
                writer.endFile();
            }
        };
}

QStringList TapestrelBackupHandler::restoredFileNames() const
{
    return {m_profilesFileName, m_backgroundsFileName};
}

std::shared_ptr<void> TapestrelBackupHandler::holdForRestore()
{
    if (!m_modelContext || !m_modelContext->container())
        return {};
    return m_modelContext->container()->holdSaves();
}

QCoro::Task<QStringList> TapestrelBackupHandler::restore(QString directory)
{
    QPointer<ModelContext> modelContext = m_modelContext;
    if (!modelContext)
        throw storeGone();
    const auto stored = std::make_shared<std::atomic<bool>>(false);
    m_restoreStored = stored;
    const QDir folder(directory);
    const QString limit = QLocale().toString(maximumRecords);
    // Both files are read, counted and parsed on the thread pool at once.
    QCoro::Task<JsonCoder::Json> readingProfiles = BackupJson::readArrayFile(
        folder.filePath(m_profilesFileName),
        {maximumRecords,
         QCoreApplication::translate("TapestrelBackupHandler",
                                     "The backup cannot be restored: it holds more than %1 "
                                     "profiles, more than a restore takes.")
             .arg(limit)},
        &checkProfilesFile);
    QCoro::Task<JsonCoder::Json> readingBackgrounds = BackupJson::readArrayFile(
        folder.filePath(m_backgroundsFileName),
        {maximumRecords,
         QCoreApplication::translate("TapestrelBackupHandler",
                                     "The backup cannot be restored: it holds more than %1 "
                                     "backgrounds, more than a restore takes.")
             .arg(limit)},
        &checkValues);
    JsonCoder::Json profilesJson = co_await std::move(readingProfiles);
    JsonCoder::Json backgroundsJson = co_await std::move(readingBackgrounds);
    QFuture<Decoded> decoding =
        QtConcurrent::run(&decode, std::move(profilesJson), std::move(backgroundsJson));
    Decoded decoded = co_await decoding;
    if (decoded.error)
        std::rethrow_exception(decoded.error);
    // Which of two records of one uuid a profile's apply or link would find is anybody's guess.
    refuseRepeatedUuid(decoded.profiles,
                       QCoreApplication::translate("TapestrelBackupHandler",
                                                   "The backup cannot be restored: it holds two profiles of "
                                                   "the id “%1”."));
    refuseRepeatedUuid(decoded.backgrounds,
                       QCoreApplication::translate("TapestrelBackupHandler",
                                                   "The backup cannot be restored: it holds two backgrounds "
                                                   "of the id “%1”."));
    QStringList notes = ProfileImporter::cutLongNames(decoded.profiles);
    if (!modelContext)
        throw storeGone();
    // Merged in the store's turn of merges, reading the store in the merge's own transaction: what any
    // context saved before is restored over, what one saves meanwhile waits and is saved after it.
    co_await BackupJson::mergeIntoStore(modelContext, std::move(decoded.profiles),
                                        std::move(decoded.backgrounds), true, BackupJson::MergeSize::Large,
                                        stored);
    // The store it was merged into has been closed meanwhile: nobody can say what became of it.
    if (!modelContext)
        throw storeGone();
    co_return notes;
}
