#pragma once

#include "Tapestrel/model/AppConfig.h"

class BearAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("net.shinyfrog.bear")};

    QString id() const override { return QStringLiteral("apps.bear"); }
    QString appName() const override { return QStringLiteral("Bear"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://bear.app/")); }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
};
