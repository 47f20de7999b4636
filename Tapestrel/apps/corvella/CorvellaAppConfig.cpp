#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"

#include "Tapestrel/apps/frame/ThemeFileStore.h"

#include "platform/Home.h"

std::optional<QString> CorvellaAppConfig::userThemesPath(const QString &bundleID) const
{
    if (bundleID == appStoreBundleID.id)
        return Platform::Home::path(QStringLiteral("Library/Containers/") + bundleID
                                    + QStringLiteral("/Data/Library/Application Support/") + bundleID
                                    + QStringLiteral("/themes"));
    if (bundleID == directSaleBundleID.id)
        return Platform::Home::path(QStringLiteral("Library/Application Support/") + bundleID
                                    + QStringLiteral("/themes"));
    return std::nullopt;
}

std::optional<QString> CorvellaAppConfig::userThemesURL(const QString &bundleID) const
{
    return ThemeFileFolder::existing(userThemesPath(bundleID));
}

std::optional<QString> CorvellaAppConfig::appResourcesURL(const QString &bundleID) const
{
    return ThemeFileFolder::applicationResources(bundleID);
}
