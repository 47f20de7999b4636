#include "Tapestrel/backup/TapestrelBackupHandler.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/backup/CustomBackgroundImporter.h"
#include "Tapestrel/backup/ProfileImporter.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/StoreMerge.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <exception>

#include <algorithm>

namespace {

ModelStoreError storeGone()
{
    return ModelStoreError(
        ModelError::Code::StoreUnavailable,
        QCoreApplication::translate("TapestrelBackupHandler", "The profile store is not open."));
}

struct MergeOutcome
{
    QStringList notes;
    std::exception_ptr error;
};

MergeOutcome decodeAndMerge(QString storePath, JsonCoder::Json profilesJson, JsonCoder::Json backgroundsJson)
{
    try {
        QList<ProfileForm> profiles = BackupJson::decodeForms<ProfileForm>(profilesJson);
        const QList<BackgroundForm> backgrounds = BackupJson::decodeForms<BackgroundForm>(backgroundsJson);
        QStringList notes = ProfileImporter::cutLongNames(profiles);
        StoreMerge::merge(storePath, profiles, backgrounds, true);
        return {notes, {}};
    } catch (...) {
        return {{}, std::current_exception()};
    }
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

QCoro::Task<QStringList> TapestrelBackupHandler::restore(QString directory)
{
    QPointer<ModelContext> modelContext = m_modelContext;
    if (!modelContext)
        throw storeGone();
    const QDir folder(directory);
    const QString limit = QLocale().toString(maximumRecords);
    // Both files are parsed on the thread pool at once.
    QCoro::Task<JsonCoder::Json> readingProfiles = BackupJson::readArrayFile(
        folder.filePath(m_profilesFileName),
        {maximumRecords,
         QCoreApplication::translate("TapestrelBackupHandler",
                                     "The backup cannot be restored: it holds more than %1 "
                                     "profiles, more than a restore takes.")
             .arg(limit)},
        {ProfileImporter::maximumOptions,
         QCoreApplication::translate("TapestrelBackupHandler",
                                     "The backup cannot be restored: a profile in it holds more than %1 "
                                     "options, more than a restore takes.")
             .arg(QLocale().toString(ProfileImporter::maximumOptions))});
    QCoro::Task<JsonCoder::Json> readingBackgrounds = BackupJson::readArrayFile(
        folder.filePath(m_backgroundsFileName),
        {maximumRecords,
         QCoreApplication::translate("TapestrelBackupHandler",
                                     "The backup cannot be restored: it holds more than %1 "
                                     "backgrounds, more than a restore takes.")
             .arg(limit)});
    JsonCoder::Json profiles = co_await std::move(readingProfiles);
    JsonCoder::Json backgrounds = co_await std::move(readingBackgrounds);
    if (!modelContext)
        throw storeGone();
    // Decoded and merged on the thread pool as well, reading the store in the merge's own
    // transaction: what any context saved meanwhile is restored over, and however many records the
    // backup holds, the window goes on answering.
    QFuture<MergeOutcome> merging = QtConcurrent::run(&decodeAndMerge, modelContext->container()->filePath(),
                                                      std::move(profiles), std::move(backgrounds));
    const MergeOutcome outcome = co_await merging;
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    // The store it was merged into has been closed meanwhile: nobody can say what became of it.
    if (!modelContext)
        throw storeGone();
    modelContext->container()->savedElsewhere();
    co_return outcome.notes;
}
