#pragma once

#include "Tapestrel/model/AppConfig.h"

class CorvellaAppConfig : public AppConfig
{
public:
    const AppBundleID appStoreBundleID {QStringLiteral("com.quorvane.Corvella3")};
    const AppBundleID vendraBundleID {QStringLiteral("com.quorvane.Corvella3-vendra")};

    QString id() const override { return QStringLiteral("apps.corvella"); }
    QString appName() const override { return QStringLiteral("Corvella"); }
    QList<AppBundleID> bundleIDs() const override { return {appStoreBundleID, vendraBundleID}; }
    std::optional<QUrl> themesURL() const override
    {
        return QUrl(QStringLiteral("https://quorvane.com/corvella/themes/"));
    }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://quorvane.com/corvella/")); }
};
