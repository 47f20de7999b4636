#pragma once

#include "Tapestrel/model/AppConfig.h"

class NotePlanAppConfig : public AppConfig
{
public:
    const AppBundleID bundleID {QStringLiteral("co.noteplan.NotePlan")};
    const AppBundleID setappBundleID {QStringLiteral("co.noteplan.NotePlan-setapp")};

    QString id() const override { return QStringLiteral("apps.noteplan"); }
    QString appName() const override { return QStringLiteral("NotePlan"); }
    QList<AppBundleID> bundleIDs() const override { return {bundleID, setappBundleID}; }
    std::optional<QUrl> themesURL() const override
    {
        return QUrl(QStringLiteral("https://github.com/NotePlan/themes"));
    }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://noteplan.co/")); }
};
