#pragma once

#include "Tapestrel/model/AppConfig.h"

class CorvellaAppConfig : public AppConfig
{
public:
    const AppBundleID appStoreBundleID {QStringLiteral("com.quorvane.Corvella3")};
    const AppBundleID directSaleBundleID {QStringLiteral("com.quorvane.Corvella3-vandry")};

    QString id() const override { return QStringLiteral("apps.corvella"); }
    QString appName() const override { return QStringLiteral("Corvella"); }
    QList<AppBundleID> bundleIDs() const override { return {appStoreBundleID, directSaleBundleID}; }
    std::optional<QUrl> themesURL() const override
    {
        return QUrl(QStringLiteral("https://quorvane.com/corvella/themes/"));
    }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://quorvane.com/corvella/")); }

    // The edition's user themes folder; none for an identifier that is no edition of it.
    std::optional<QString> userThemesPath(const QString &bundleID) const;
    // That folder when something exists there.
    std::optional<QString> userThemesURL(const QString &bundleID) const;
    // The installed edition's "Contents/Resources" folder when it exists.
    std::optional<QString> appResourcesURL(const QString &bundleID) const;
};
