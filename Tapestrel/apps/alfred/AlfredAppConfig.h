#pragma once

#include "Tapestrel/model/AppConfig.h"

class AlfredAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("com.runningwithcrayons.Alfred")};

    QString id() const override { return QStringLiteral("apps.alfred"); }
    QString appName() const override { return QStringLiteral("Alfred"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    std::optional<QUrl> themesURL() const override
    {
        return QUrl(QStringLiteral("https://www.alfredforum.com/forum/4-themes/"));
    }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://www.alfredapp.com/")); }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
};
