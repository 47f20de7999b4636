#include "Tapestrel/model/AppConfig.h"

#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

AppConfig::~AppConfig() = default;

QWidget *AppConfig::makeSection(Profile *, SynchronizedOptionsStore *, QWidget *)
{
    return nullptr;
}

QString AppConfig::bundleIDDefaultsKey() const
{
    return id() + QStringLiteral(".bundleID");
}

QList<AppBundleAndPath> AppConfig::installedApps() const
{
    // Asked afresh every time, so installing or removing an edition is seen at once.
    const Platform::Workspace &workspace = Platform::Workspace::shared();
    QList<AppBundleAndPath> installed;
    for (const AppBundleID &bundleID : bundleIDs()) {
        if (const auto application = workspace.applicationWithBundleIdentifier(bundleID.id))
            installed.append({bundleID, application->path});
    }
    return installed;
}

std::optional<AppBundleAndPath> AppConfig::preferredInstalledApp() const
{
    return preferredAmong(installedApps());
}

std::optional<AppBundleAndPath> AppConfig::preferredAmong(const QList<AppBundleAndPath> &installed) const
{
    const auto choice = Platform::UserDefaults::standard().string(bundleIDDefaultsKey());
    if (!choice)
        return std::nullopt;
    for (const AppBundleAndPath &app : installed) {
        if (app.bundleID.id == *choice)
            return app;
    }
    return std::nullopt;
}

std::optional<QString> AppConfig::currentBundleID() const
{
    const QList<AppBundleAndPath> installed = installedApps();
    if (installed.isEmpty())
        return std::nullopt;
    if (installed.size() == 1)
        return installed.first().bundleID.id;
    if (const auto preferred = preferredAmong(installed))
        return preferred->bundleID.id;
    return installed.first().bundleID.id;
}

bool AppConfig::isInstalled() const
{
    return !installedApps().isEmpty();
}
