#include "Tapestrel/backup/CustomBackgroundsExporter.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"

CustomBackgroundsExporter::CustomBackgroundsExporter(ModelContext *modelContext)
    : m_modelContext(modelContext)
{ }

QCoro::Task<void> CustomBackgroundsExporter::exportTo(QString path)
{
    if (!m_modelContext)
        co_return;
    QList<BackupJson::StoreFile> files;
    files.append({path, BackupJson::StoreDocument::Backgrounds});
    co_await BackupJson::writeStoreFiles(m_modelContext->container()->filePath(), std::move(files));
}
