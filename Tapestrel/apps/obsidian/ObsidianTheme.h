#pragma once

#include "Tapestrel/apps/frame/Theme.h"

#include <QList>
#include <QString>

// A CSS theme of a vault: `id` is the value written into "cssTheme", `name` what the picker shows.
using ObsidianTheme = Theme;

namespace ObsidianThemes {

// The value that stands for Obsidian's default theme, which its file holds as the empty text: the
// empty text itself sets nothing.
inline const QString defaultThemeID = QStringLiteral("<default>");

// Obsidian's built-in theme is its default one; sorted by name.
QList<ObsidianTheme> builtInThemes();

// The entries of a vault's ".obsidian/themes" folder, one theme per entry (folders and files alike,
// hidden ones included) named after it, in the order the file system lists them. Empty when the
// folder is missing or cannot be listed.
QList<ObsidianTheme> themesInFolder(const QString &folder);

} // namespace ObsidianThemes
