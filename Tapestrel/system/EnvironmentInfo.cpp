#include "Tapestrel/system/EnvironmentInfo.h"

#include "platform/LinuxDesktop.h"
#include "platform/UserDefaults.h"

EnvironmentInfo &EnvironmentInfo::shared()
{
    static EnvironmentInfo instance;
    return instance;
}

bool EnvironmentInfo::isDarkMode() const
{
    if (const std::optional<bool> shown = Platform::LinuxDesktop::currentDarkMode())
        return *shown;
    return Platform::UserDefaults::standard().string(QStringLiteral("AppleInterfaceStyle"))
        == QStringLiteral("Dark");
}
