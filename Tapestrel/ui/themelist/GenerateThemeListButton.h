#pragma once

#include <memory>

class OptionStore;
class Profile;
class QAction;
class QMenu;
class QObject;
class QString;
class QWidget;
class ThemeListExporter;

// The "Copy Theme List" submenu of the Profile menu and of the profile list's context menu: the
// profile's theme list as plain text or as Markdown on the clipboard, then the "Copied" toast.
namespace GenerateThemeListButton {

// Disabled when there is no profile. The registry defaults to the program's.
QMenu *make(Profile *profile, QWidget *parent, OptionStore *registry = nullptr);

// One item of the submenu: exports the list when triggered (so a theme changed after the menu
// opened is exported with its new value), replaces the clipboard's text and shows the toast.
QAction *copyListButton(const QString &title, const QString &symbol, Profile *profile,
                        std::shared_ptr<const ThemeListExporter> exporter, OptionStore *registry,
                        QObject *parent);

} // namespace GenerateThemeListButton
