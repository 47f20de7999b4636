#pragma once

#include "Tapestrel/model/AppConfig.h"

class XcodeAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("com.apple.dt.Xcode")};

    QString id() const override { return QStringLiteral("dt.Xcode"); }
    QString appName() const override { return QStringLiteral("Xcode"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://developer.apple.com/xcode/")); }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
};
