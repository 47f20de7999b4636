#pragma once

#include "Tapestrel/model/AppConfig.h"

#include <optional>

class ObsidianAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("md.obsidian")};

    QString id() const override { return QStringLiteral("apps.obsidian"); }
    QString appName() const override { return QStringLiteral("Obsidian"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://obsidian.md/")); }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;

    // On an emulated home, the application bundle as for every application; otherwise Obsidian's
    // desktop entry in the XDG application folders (ObsidianFolders).
    QList<AppBundleAndPath> installedApps() const override;

    // The file or folder of that name in Obsidian's configuration folder, when it exists.
    static std::optional<QString> configFilePath(const QString &name);
};
