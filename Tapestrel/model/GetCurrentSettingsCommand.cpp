#include "Tapestrel/model/GetCurrentSettingsCommand.h"

#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"

GetCurrentSettingsCommand::GetCurrentSettingsCommand(Profile *profile)
    : m_profile(profile)
{ }

QCoro::Task<void> GetCurrentSettingsCommand::execute()
{
    return perform(m_profile);
}

QCoro::Task<void> GetCurrentSettingsCommand::perform(QPointer<Profile> profile)
{
    if (!profile)
        co_return;
    ProfileController controller(profile, EngineSettings::disabledOptionIDs);
    co_await controller.readCurrentSettings();
    if (profile)
        profile->setLoading(false);
}
