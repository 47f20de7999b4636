#include "Tapestrel/apps/vscode/VSCodeAppConfig.h"

#include "Tapestrel/apps/vscode/VSCodeLocations.h"

QList<AppBundleAndPath> VSCodeAppConfig::installedApps() const
{
    if (VSCodeLocations::usesEmulatedHome())
        return AppConfig::installedApps();
    if (const auto entry = VSCodeLocations::desktopEntry())
        return {{bundleID, *entry}};
    return {};
}
