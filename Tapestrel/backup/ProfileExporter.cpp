#include "Tapestrel/backup/ProfileExporter.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"

ProfileExporter::ProfileExporter(ModelContext *modelContext)
    : m_modelContext(modelContext)
{ }

QCoro::Task<void> ProfileExporter::exportTo(QString path)
{
    if (!m_modelContext)
        co_return;
    QList<BackupJson::StoreFile> files;
    files.append({path, BackupJson::StoreDocument::Profiles});
    co_await BackupJson::writeStoreFiles(m_modelContext->container()->filePath(), std::move(files));
}
