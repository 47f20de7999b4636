#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Where Obsidian keeps its own files on this system. Obsidian runs on Linux with the same files as
// elsewhere, so the program changes the Obsidian that the user actually runs: its folder is
// $XDG_CONFIG_HOME/obsidian (~/.config/obsidian). A program started on an emulated home
// ($TAPESTREL_HOME, as every test does) finds it below that home's Application Support folder
// instead, like every other application's files.
namespace ObsidianFolders {

// Whether the program runs on an emulated home chosen with TAPESTREL_HOME.
bool isEmulatedHome();

// The folder that holds "obsidian.json"; it need not exist.
QString configFolder();

// The file or folder of that name in the configuration folder, when it exists.
std::optional<QString> configFilePath(const QString &name);

// The desktop entries whose presence in the XDG application folders means that Obsidian is
// installed (outside an emulated home): the packaged and the Flatpak names.
QStringList desktopEntryNames();

// The first desktop entry of Obsidian found in the XDG application folders ("applications" below
// $XDG_DATA_HOME, then below each of $XDG_DATA_DIRS), or none.
std::optional<QString> installedDesktopEntry();

} // namespace ObsidianFolders
