#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// One vault that Obsidian lists in its configuration file.
struct ObsidianVault
{
    QString id; // the member name in "vaults"
    QString name; // the vault folder's name
    bool isOpen = false;
    QString path; // the vault folder, as Obsidian's file gives it

    // The vault's path joined with a relative path (".obsidian/appearance.json"), when something
    // exists there.
    std::optional<QString> filePath(const QString &relative) const;

    friend bool operator==(const ObsidianVault &, const ObsidianVault &) = default;
};

size_t qHash(const ObsidianVault &vault, size_t seed = 0);

// Obsidian's configuration file "obsidian.json": {"vaults": {"<id>": {"path": …, "ts": …, "open": …}}}.
namespace ObsidianConfigFile {

// The vaults of the file's text, or none when it is not such a file: not JSON, "vaults" missing or
// no object, or any vault without a text "path" or an integer "ts", or with a value of the wrong
// type. One bad entry makes the whole file unusable, as for Obsidian's own reader.
//
// The list is ordered so that the vault to take when the user chose none comes first: the vault
// that Obsidian has open, then the most recently used ("ts", larger first), then by id.
std::optional<QList<ObsidianVault>> decode(const QByteArray &bytes);

} // namespace ObsidianConfigFile
