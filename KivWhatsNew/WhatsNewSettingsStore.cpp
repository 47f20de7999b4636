#include "KivWhatsNew/WhatsNewSettingsStore.h"

#include "platform/UserDefaults.h"

namespace KivWhatsNew {

UserDefaultsSettingsStore::UserDefaultsSettingsStore(QString prefix)
    : m_prefix(std::move(prefix))
{ }

bool UserDefaultsSettingsStore::didDisplay(const QString &version)
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.synchronize();
    return defaults.boolean(key(version));
}

void UserDefaultsSettingsStore::setDidDisplay(const QString &version)
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.setValue(key(version), true);
    defaults.synchronize();
}

} // namespace KivWhatsNew
