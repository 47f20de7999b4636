#include "Tapestrel/backup/TapestrelBackupHandler.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/backup/CustomBackgroundImporter.h"
#include "Tapestrel/backup/ProfileImporter.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/StoreSnapshot.h"

#include <QCoreApplication>
#include <QDir>

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
    // Both files are read in one context, so they show the store at one moment.
    QByteArray profiles;
    QByteArray backgrounds;
    {
        const BackupJson::WorkingContext context = BackupJson::makeWorkingContext(*m_modelContext);
        profiles = BackupJson::encodeArray(context->fetchProfiles());
        backgrounds = BackupJson::encodeArray(context->fetchBackgrounds());
    }
    const QDir folder(directory);
    co_await BackupJson::writeFile(folder.filePath(m_profilesFileName), std::move(profiles));
    co_await BackupJson::writeFile(folder.filePath(m_backgroundsFileName), std::move(backgrounds));
}

KivBackups::StreamedBackup TapestrelBackupHandler::streamedBackup()
{
    if (!m_modelContext)
        throw storeGone();
    // Read on the thread pool through a connection of its own, as committed: unsaved changes of the
    // main context are not written, as with a context of its own. The files go in by name, as a
    // folder of them is archived.
    return [storePath = m_modelContext->container()->filePath(), profilesFileName = m_profilesFileName,
            backgroundsFileName = m_backgroundsFileName](KivBackups::BackupFileWriter &writer) {
        StoreSnapshot snapshot(storePath);
        const StoreSnapshot::Sink sink = [&writer](QByteArrayView bytes) {
            writer.write(bytes);
        };
        const auto writeProfiles = [&] {
            writer.beginFile(profilesFileName);
            snapshot.writeProfilesJson(sink);
            writer.endFile();
        };
        const auto writeBackgrounds = [&] {
            writer.beginFile(backgroundsFileName);
            snapshot.writeBackgroundsJson(sink);
            writer.endFile();
        };
        if (backgroundsFileName < profilesFileName) {
            writeBackgrounds();
            writeProfiles();
        } else {
            writeProfiles();
            writeBackgrounds();
        }
    };
}

QCoro::Task<void> TapestrelBackupHandler::restore(QString directory)
{
    QPointer<ModelContext> modelContext = m_modelContext;
    if (!modelContext)
        throw storeGone();
    const QDir folder(directory);
    // Both files are parsed on the thread pool while the store is read here.
    QCoro::Task<JsonCoder::Json> readingProfiles =
        BackupJson::readArrayFile(folder.filePath(m_profilesFileName));
    QCoro::Task<JsonCoder::Json> readingBackgrounds =
        BackupJson::readArrayFile(folder.filePath(m_backgroundsFileName));

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
}
