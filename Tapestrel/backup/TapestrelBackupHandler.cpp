#include "Tapestrel/backup/TapestrelBackupHandler.h"

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

#include <algorithm>

namespace {

ModelStoreError storeGone()
{
    return ModelStoreError(
        ModelError::Code::StoreUnavailable,
        QCoreApplication::translate("TapestrelBackupHandler", "The profile store is not open."));
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
    // Both files are parsed on the thread pool while the store is read here.
    QCoro::Task<JsonCoder::Json> readingProfiles = BackupJson::readArrayFile(
        folder.filePath(m_profilesFileName),
        {maximumRecords,
         QCoreApplication::translate("TapestrelBackupHandler",
                                     "The backup cannot be restored: it holds more than %1 "
                                     "profiles, more than a restore takes.")
             .arg(limit)});
    QCoro::Task<JsonCoder::Json> readingBackgrounds = BackupJson::readArrayFile(
        folder.filePath(m_backgroundsFileName),
        {maximumRecords,
         QCoreApplication::translate("TapestrelBackupHandler",
                                     "The backup cannot be restored: it holds more than %1 "
                                     "backgrounds, more than a restore takes.")
             .arg(limit)});

    const BackupJson::WorkingContext context = BackupJson::makeWorkingContext(*modelContext);
    // A save of any context while the files are parsed makes what was read here out of date.
    const auto storeChanged = std::make_shared<bool>(false);
    QObject::connect(context->container(), &ModelContainer::didSave, context.get(),
                     [storeChanged] { *storeChanged = true; });
    QList<Profile *> storedProfiles = context->fetchProfiles();
    QList<CustomBackground *> storedBackgrounds = context->fetchBackgrounds();

    JsonCoder::Json profilesJson = co_await std::move(readingProfiles);
    JsonCoder::Json backgroundsJson = co_await std::move(readingBackgrounds);
    std::vector<std::unique_ptr<Profile>> profiles = ProfileImporter::decodeProfiles(profilesJson);
    QStringList notes = ProfileImporter::cutLongNames(profiles);
    std::vector<std::unique_ptr<CustomBackground>> backgrounds =
        CustomBackgroundImporter::decodeBackgrounds(backgroundsJson);
    BackupJson::discardOnPool(std::move(profilesJson));
    BackupJson::discardOnPool(std::move(backgroundsJson));
    if (!modelContext || !context)
        throw storeGone();
    if (*storeChanged) {
        storedProfiles = context->fetchProfiles();
        storedBackgrounds = context->fetchBackgrounds();
    }

    BackupJson::mergeByUuid(*context, storedProfiles, std::move(profiles), true);
    BackupJson::mergeByUuid(*context, storedBackgrounds, std::move(backgrounds), true);
    context->save();
    co_return notes;
}
