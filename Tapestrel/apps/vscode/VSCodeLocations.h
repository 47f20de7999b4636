#pragma once

#include "Tapestrel/apps/vscode/VSCodeProfile.h"

#include <QString>

#include <optional>

// Where VS Code keeps its files. VS Code runs on this desktop with the same files as elsewhere: on an
// emulated home (TAPESTREL_HOME set) its folder is "Library/Application Support/Code" there, with its
// extensions in ".vscode/extensions"; otherwise it is the user's own "$XDG_CONFIG_HOME/Code"
// ("~/.config/Code"), with the extensions in "~/.vscode/extensions", so that the program changes the
// VS Code that the user runs.
//
// The path operations give a path only when something exists there; each builds on the one before.
class VSCodeLocations
{
public:
    static bool usesEmulatedHome();

    // The folders, whether they exist or not.
    static QString userDataFolder();
    static QString extensionsFolder();
    static QString profileFolder(const VSCodeProfile &profile);

    static std::optional<QString> userDataPath();
    static std::optional<QString> profilePath(const VSCodeProfile &profile);
    static std::optional<QString> settingsPath(const VSCodeProfile &profile);
    static std::optional<QString> globalExtensionsPath();
    // The default profile's list lies in the extensions folder, any other in its profile folder.
    static std::optional<QString> extensionsListPath(const VSCodeProfile &profile);
    static std::optional<QString> stateDatabasePath(const VSCodeProfile &profile);
    // "User/globalStorage/storage.json", which lists the profiles.
    static std::optional<QString> storagePath();

    // Outside an emulated home: VS Code's desktop entry in the XDG application folders, if any.
    static std::optional<QString> desktopEntry();
};
