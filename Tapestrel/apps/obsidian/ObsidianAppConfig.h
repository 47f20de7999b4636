#pragma once

#include "Tapestrel/model/AppConfig.h"

class ObsidianAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("md.obsidian")};

    QString id() const override { return QStringLiteral("apps.obsidian"); }
    QString appName() const override { return QStringLiteral("Obsidian"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://obsidian.md/")); }
};
