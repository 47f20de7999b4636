#include "Tapestrel/apps/alfred/AlfredThemeStore.h"

#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/frame/ThemeSort.h"

#include <QDir>

namespace {

QList<AlfredTheme> sortedByName(QList<AlfredTheme> themes)
{
    return ThemeSort::sortedByName(std::move(themes), [](const AlfredTheme &theme) { return theme.name; });
}

} // namespace

AlfredThemeStore::AlfredThemeStore()
    : ThemeStore<AlfredTheme>(sortedByName(builtInTable()), &AlfredThemeStore::collectUserThemes)
{ }

QList<AlfredTheme> AlfredThemeStore::builtInTable()
{
    // Two names end in a blank, which belongs to the name everywhere.
    return {
        {QStringLiteral("theme.bundled.default"), QStringLiteral("Alfred")},
        {QStringLiteral("theme.bundled.dark"), QStringLiteral("Alfred Dark")},
        {QStringLiteral("theme.bundled.modern"), QStringLiteral("Alfred Modern")},
        {QStringLiteral("theme.bundled.moderndark"), QStringLiteral("Alfred Modern Dark")},
        {QStringLiteral("theme.bundled.classic"), QStringLiteral("Alfred Classic")},
        {QStringLiteral("theme.bundled.osx"), QStringLiteral("Alfred macOS ")},
        {QStringLiteral("theme.bundled.osxdark"), QStringLiteral("Alfred macOS Dark")},
        {QStringLiteral("theme.bundled.frostyteal"), QStringLiteral("Frosty Teal")},
        {QStringLiteral("theme.bundled.modernavenir"), QStringLiteral("Large Avenir")},
        {QStringLiteral("theme.bundled.highcontrast"), QStringLiteral("High Contrast Light ")},
    };
}

QList<AlfredTheme> AlfredThemeStore::collectUserThemes()
{
    const std::optional<AlfredPrefs> prefs = AlfredPrefs::load();
    if (!prefs)
        return {};
    const QDir folder(prefs->themesFolder());
    const QStringList entries =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QList<AlfredTheme> themes;
    for (const QString &entry : entries) {
        const auto bytes = AppFiles::read(folder.filePath(entry) + QStringLiteral("/theme.json"));
        // A theme without a name would be a row without text.
        if (const auto name = bytes ? alfredThemeName(*bytes) : std::nullopt;
            name && !name->trimmed().isEmpty())
            themes.append({entry, *name});
    }
    return sortedByName(themes);
}

std::optional<AlfredTheme> AlfredThemeStore::theme(const QString &id) const
{
    if (const auto found = find([&id](const AlfredTheme &theme) { return theme.id == id; }))
        return found->first;
    return std::nullopt;
}
