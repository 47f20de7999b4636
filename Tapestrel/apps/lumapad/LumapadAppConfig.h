#pragma once

#include "Tapestrel/model/AppConfig.h"

class LumapadAppConfig : public AppConfig
{
public:
    const AppBundleID appStoreBundleID {QStringLiteral("com.quorvane.Lumapad")};
    const AppBundleID directSaleBundleID {QStringLiteral("com.quorvane.Lumapad-vandry")};
    const AppBundleID setappBundleID {QStringLiteral("com.quorvane.Lumapad-setapp")};

    QString id() const override { return QStringLiteral("apps.lumapad"); }
    QString appName() const override { return QStringLiteral("Lumapad"); }
    QList<AppBundleID> bundleIDs() const override
    {
        return {appStoreBundleID, directSaleBundleID, setappBundleID};
    }
    std::optional<QUrl> themesURL() const override
    {
        return QUrl(QStringLiteral("https://quorvane.com/lumapad/themes/"));
    }
    QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent) override;
    QUrl websiteURL() const override { return QUrl(QStringLiteral("https://quorvane.com/lumapad/")); }

    // The edition's user themes folder; none for an identifier that is no edition of it.
    std::optional<QString> userThemesPath(const QString &bundleID) const;
    // That folder when something exists there.
    std::optional<QString> userThemesURL(const QString &bundleID) const;
    // The installed edition's "Contents/Resources" folder when it exists.
    std::optional<QString> appResourcesURL(const QString &bundleID) const;
};
