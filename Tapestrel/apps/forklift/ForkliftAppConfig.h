#pragma once

#include "Tapestrel/model/AppConfig.h"

class ForkliftAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("com.binarynights.ForkLift")};
    const AppBundleID setappBundleID {QStringLiteral("com.binarynights.forklift-setapp")};

    QString id() const override { return QStringLiteral("apps.forklift"); }
    QString appName() const override { return QStringLiteral("ForkLift"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID, setappBundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://binarynights.com/")); }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
};
