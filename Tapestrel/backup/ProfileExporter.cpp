#include "Tapestrel/backup/ProfileExporter.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"

ProfileExporter::ProfileExporter(ModelContext *modelContext)
    : m_modelContext(modelContext)
{ }

QCoro::Task<void> ProfileExporter::exportTo(QString path)
{
    if (!m_modelContext)
        co_return;
    QByteArray array;
    {
        const BackupJson::WorkingContext context = BackupJson::makeWorkingContext(*m_modelContext);
        array = BackupJson::encodeArray(context->fetchProfiles());
    }
    co_await BackupJson::writeFile(path, std::move(array));
}
