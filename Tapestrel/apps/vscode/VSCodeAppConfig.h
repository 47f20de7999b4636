#pragma once

#include "Tapestrel/model/AppConfig.h"

class VSCodeAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("com.microsoft.VSCode")};

    QString id() const override { return QStringLiteral("apps.vscode"); }
    QString appName() const override { return QStringLiteral("Visual Studio Code"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://code.visualstudio.com/")); }
};
