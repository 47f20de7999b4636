#pragma once

#include "Tapestrel/model/AppConfig.h"

class LumapadAppConfig : public AppConfig
{
public:
    const AppBundleID appStoreBundleID {QStringLiteral("com.quorvane.Lumapad")};
    const AppBundleID vendraBundleID {QStringLiteral("com.quorvane.Lumapad-vendra")};
    const AppBundleID setappBundleID {QStringLiteral("com.quorvane.Lumapad-setapp")};

    QString id() const override { return QStringLiteral("apps.lumapad"); }
    QString appName() const override { return QStringLiteral("Lumapad"); }
    QList<AppBundleID> bundleIDs() const override
    {
        return {appStoreBundleID, vendraBundleID, setappBundleID};
    }
    std::optional<QUrl> themesURL() const override
    {
        return QUrl(QStringLiteral("https://quorvane.com/lumapad/themes/"));
    }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://quorvane.com/lumapad/")); }
};
