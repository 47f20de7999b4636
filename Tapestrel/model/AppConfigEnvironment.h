#pragma once

#include <QString>

#include <optional>

// What the application records ask of the system: where an application with a bundle identifier
// is installed, and which edition the user chose in the settings. Asked afresh on every call, so
// installing or removing an application is seen at once.
class AppConfigEnvironment
{
public:
    virtual ~AppConfigEnvironment() = default;

    // The folder of the installed application with this bundle identifier, or none.
    virtual std::optional<QString> applicationPath(const QString &bundleID) const = 0;
    // The text stored under a key of the program's own preferences, or none.
    virtual std::optional<QString> storedString(const QString &key) const = 0;

    // The environment in use: the emulated home unless a test installed another one.
    static const AppConfigEnvironment &current();
    // Installs an environment (nullptr restores the default). The caller keeps it alive.
    static void setCurrent(const AppConfigEnvironment *environment);
};

// The installed applications of the workspace and the program's preference domain file.
class HomeAppConfigEnvironment : public AppConfigEnvironment
{
public:
    std::optional<QString> applicationPath(const QString &bundleID) const override;
    std::optional<QString> storedString(const QString &key) const override;
};
