#include "Tapestrel/backup/CustomBackgroundsExporter.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"

CustomBackgroundsExporter::CustomBackgroundsExporter(ModelContext *modelContext)
    : m_modelContext(modelContext)
{ }

QCoro::Task<void> CustomBackgroundsExporter::exportTo(QString path)
{
    if (!m_modelContext)
        co_return;
    QByteArray array;
    {
        const BackupJson::WorkingContext context = BackupJson::makeWorkingContext(*m_modelContext);
        array = BackupJson::encodeArray(context->fetchBackgrounds());
    }
    co_await BackupJson::writeFile(path, std::move(array));
}
