#pragma once

#include "Tapestrel/model/AppConfig.h"

class ITermAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("com.googlecode.iterm2")};

    QString id() const override { return QStringLiteral("apps.iterm"); }
    QString appName() const override { return QStringLiteral("iTerm"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    std::optional<QUrl> themesURL() const override
    {
        return QUrl(QStringLiteral("https://iterm2colorschemes.com/"));
    }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://iterm2.com/")); }
};
