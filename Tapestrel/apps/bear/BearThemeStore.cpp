#include "Tapestrel/apps/bear/BearThemeStore.h"

namespace {

QList<BearTheme> table()
{
    static const char *const names[] = {
        "Red Graphite",
        "Dark Graphite",
        "High Contrast",
        "Charcoal",
        "Solarized Light",
        "Solarized Dark",
        "Panic Mode",
        "Gotham",
        "Dracula",
        "Toothpaste",
        "Cobalt",
        "Duotone Light",
        "Duotone Snow",
        "Duotone Heat",
        "Dieci",
        "Ayu",
        "Ayu Mirage",
        "Gandalf",
        "Olive Dunk",
        "D.Boring",
        "Nord Light",
        "Nord",
        "Notes",
        "Dark Notes",
        "Lighthaus",
        "Rosé Pine",
        "Rosé Pine Dawn",
        "Tokyo Night",
        "Tokyo Night Light",
        "Akademia",
        "Atom",
        "Gruvbox",
        "Catppuccin Latte",
        "Catppuccin Macchiato",
        "Shibuya Jazz",
        "Shibuya Lo-fi",
        "Everforest Dark",
        "Everforest Light",
    };
    QList<BearTheme> themes;
    for (const char *name : names)
        themes.append({QString::fromUtf8(name), QString::fromUtf8(name)});
    return themes;
}

} // namespace

BearThemeStore::BearThemeStore()
    : ThemeStore<BearTheme>(builtInThemes())
{ }

const QList<BearTheme> &BearThemeStore::builtInThemes()
{
    static const QList<BearTheme> sorted =
        ThemeSort::sortedByName(table(), [](const BearTheme &theme) { return theme.name; });
    return sorted;
}
