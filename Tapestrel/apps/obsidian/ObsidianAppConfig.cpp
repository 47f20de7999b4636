#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"

#include "Tapestrel/apps/obsidian/ObsidianFolders.h"
#include "Tapestrel/apps/obsidian/ObsidianSection.h"

QWidget *ObsidianAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new ObsidianSection(profile, this, store, parent);
}

QList<AppBundleAndPath> ObsidianAppConfig::installedApps() const
{
    if (ObsidianFolders::isEmulatedHome())
        return AppConfig::installedApps();
    if (const std::optional<QString> entry = ObsidianFolders::installedDesktopEntry())
        return {{bundleID, *entry}};
    return {};
}

std::optional<QString> ObsidianAppConfig::configFilePath(const QString &name)
{
    return ObsidianFolders::configFilePath(name);
}
