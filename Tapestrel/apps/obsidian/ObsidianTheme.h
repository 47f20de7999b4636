#pragma once

#include <QList>
#include <QString>

// A CSS theme of a vault: the value written into "cssTheme" and the name shown.
struct ObsidianTheme
{
    QString id;
    QString name;

    friend bool operator==(const ObsidianTheme &, const ObsidianTheme &) = default;
};

namespace ObsidianThemes {

// Obsidian's built-in theme is its default one, the empty text.
QList<ObsidianTheme> builtInThemes();

// The entries of a vault's ".obsidian/themes" folder, one theme per entry (folders and files alike,
// hidden ones included) named after it, in the order the file system lists them. Empty when the
// folder is missing or cannot be listed.
QList<ObsidianTheme> themesInFolder(const QString &folder);

} // namespace ObsidianThemes
