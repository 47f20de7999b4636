#include "Tapestrel/backup/ProfileImporter.h"

#include "Tapestrel/backup/BackupJson.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"

ProfileImporter::ProfileImporter(ModelContext *modelContext)
    : m_modelContext(modelContext)
{ }

std::vector<std::unique_ptr<Profile>> ProfileImporter::decodeProfiles(const JsonCoder::Json &array)
{
    return BackupJson::decodeArray<Profile>(array);
}

QCoro::Task<void> ProfileImporter::importProfiles(std::vector<std::unique_ptr<Profile>> profiles,
                                                  bool replaceExisting)
{
    if (!m_modelContext)
        co_return;
    const BackupJson::WorkingContext context = BackupJson::makeWorkingContext(*m_modelContext);
    BackupJson::mergeByUuid(*context, context->fetchProfiles(), std::move(profiles), replaceExisting);
    context->save();
}
