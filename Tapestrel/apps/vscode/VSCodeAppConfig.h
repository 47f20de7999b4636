#pragma once

#include "Tapestrel/model/AppConfig.h"

// Visual Studio Code. It runs on this desktop with the same files as elsewhere (see VSCodeLocations).
class VSCodeAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("com.microsoft.VSCode")};

    QString id() const override { return QStringLiteral("apps.vscode"); }
    QString appName() const override { return QStringLiteral("Visual Studio Code"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://code.visualstudio.com/")); }
    // On an emulated home, its application bundle; otherwise its desktop entry in the XDG
    // application folders, so that the VS Code the user runs counts.
    QList<AppBundleAndPath> installedApps() const override;
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
};
