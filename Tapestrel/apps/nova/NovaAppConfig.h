#pragma once

#include "Tapestrel/model/AppConfig.h"

// Nova, the editor. Its integration is complete but held by no registry: nothing applies, reads or
// shows it until it is registered. Whoever registers it names the edition and the display name.
class NovaAppConfig : public AppConfig
{
public:
    NovaAppConfig(QString bundleID, QString appName)
        : bundleID {std::move(bundleID)}
        , m_appName(std::move(appName))
    { }

    const AppBundleID bundleID;

    QString id() const override { return QStringLiteral("apps.nova"); }
    QString appName() const override { return m_appName; }
    QList<AppBundleID> bundleIDs() const override { return {bundleID}; }
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://nova.app/")); }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;

private:
    QString m_appName;
};
