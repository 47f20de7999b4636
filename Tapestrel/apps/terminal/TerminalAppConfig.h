#pragma once

#include "Tapestrel/model/AppConfig.h"

class TerminalAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("com.apple.Terminal")};

    QString id() const override { return QStringLiteral("com.apple.Terminal"); }
    QString appName() const override { return QStringLiteral("Terminal"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://www.apple.com/macos/")); }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
};
