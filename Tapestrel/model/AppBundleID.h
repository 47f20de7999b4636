#pragma once

#include <QHash>
#include <QString>

// One bundle identifier of an application edition.
struct AppBundleID
{
    QString id;

    friend bool operator==(const AppBundleID &, const AppBundleID &) = default;
};

inline size_t qHash(const AppBundleID &bundleID, size_t seed = 0)
{
    return qHash(bundleID.id, seed);
}

// An installed edition: its bundle identifier and where it is installed. Two values are the same
// installation when both fields agree; the path alone identifies it in lists.
struct AppBundleAndPath
{
    AppBundleID bundleID;
    QString path;

    QString id() const { return path; }
    friend bool operator==(const AppBundleAndPath &, const AppBundleAndPath &) = default;
};

inline size_t qHash(const AppBundleAndPath &app, size_t seed = 0)
{
    return qHash(app.path, seed);
}
