#include "Tapestrel/system/EnvironmentInfo.h"

#include "platform/UserDefaults.h"

EnvironmentInfo &EnvironmentInfo::shared()
{
    static EnvironmentInfo instance;
    return instance;
}

bool EnvironmentInfo::isDarkMode() const
{
    return Platform::UserDefaults::standard().string(QStringLiteral("AppleInterfaceStyle"))
        == QStringLiteral("Dark");
}
