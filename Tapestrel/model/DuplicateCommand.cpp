#include "Tapestrel/model/DuplicateCommand.h"

#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"

DuplicateCommand::DuplicateCommand(ModelContext *context, QList<Profile *> profiles)
    : m_context(context)
{
    for (Profile *profile : profiles)
        m_profiles.append(profile);
}

QList<Profile *> DuplicateCommand::execute()
{
    QList<Profile *> copies;
    if (!m_context)
        return copies;
    for (const QPointer<Profile> &profile : std::as_const(m_profiles)) {
        if (profile && !profile->isDeleted())
            copies.append(m_context->insert(Profile::copying(*profile)));
    }
    return copies;
}
