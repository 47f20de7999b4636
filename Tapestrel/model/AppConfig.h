#pragma once

#include "Tapestrel/model/AppBundleID.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

class Profile;
class QWidget;
class SynchronizedOptionsStore;

// An application whose themes the program switches: its option-identifier prefix, name, the bundle
// identifiers of its editions (App Store, direct sale, Setapp) and its web pages.
class AppConfig
{
public:
    virtual ~AppConfig();

    // The option-identifier prefix, such as "apps.alfred"; also the record's id.
    virtual QString id() const = 0;
    virtual QString appName() const = 0;
    // The candidate editions, in the order of the record's fields.
    virtual QList<AppBundleID> bundleIDs() const = 0;
    // A page with more themes, when the application has one.
    virtual std::optional<QUrl> themesURL() const { return std::nullopt; }
    virtual QUrl websiteURL() const = 0;

    // The application's editor section for a profile, whose rows follow the globally disabled
    // options of the store; none until the application's section exists.
    virtual QWidget *makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent);

    // The key of the program's preferences under which the user's edition choice is stored.
    QString bundleIDDefaultsKey() const;
    // The installed editions, in bundleIDs() order: the application bundles the workspace finds.
    // Applications that run on this desktop with their own files find themselves their own way.
    virtual QList<AppBundleAndPath> installedApps() const;
    // The installed edition the user chose, or none.
    std::optional<AppBundleAndPath> preferredInstalledApp() const;
    // The edition to theme: the only installed one; of several, the chosen one or else the first.
    std::optional<QString> currentBundleID() const;
    bool isInstalled() const;

private:
    std::optional<AppBundleAndPath> preferredAmong(const QList<AppBundleAndPath> &installed) const;
};
