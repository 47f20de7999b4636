#include "Tapestrel/model/ProfileRepository.h"

#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"

ProfileRepository::ProfileRepository(ModelContext *modelContext)
    : m_modelContext(modelContext)
{ }

Profile *ProfileRepository::profile(const QString &id) const
{
    if (!m_modelContext)
        return nullptr;
    const QList<Profile *> found = m_modelContext->fetchProfiles(id);
    return found.isEmpty() ? nullptr : found.first();
}
