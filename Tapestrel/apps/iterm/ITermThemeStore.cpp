#include "Tapestrel/apps/iterm/ITermThemeStore.h"

#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/frame/ThemeSort.h"
#include "Tapestrel/apps/iterm/ITermColorEntries.h"

#include "platform/UserDefaults.h"

static void initialisePresetResources()
{
    Q_INIT_RESOURCE(ITermPresets);
}

const QList<ITermThemeStore::BuiltInPreset> &ITermThemeStore::builtInPresets()
{
    static const QList<BuiltInPreset> presets {
        {QStringLiteral("Default"), QStringLiteral("iTerm2 Default")},
        {QStringLiteral("Dark Background"), QStringLiteral("iTerm2 Dark Background")},
        {QStringLiteral("Light Background"), QStringLiteral("iTerm2 Light Background")},
        {QStringLiteral("Pastel (Dark Background)"), QStringLiteral("iTerm2 Pastel Dark Background")},
        {QStringLiteral("Smoooooth"), QStringLiteral("iTerm2 Smoooooth")},
        {QStringLiteral("Solarized Dark"), QStringLiteral("iTerm2 Solarized Dark")},
        {QStringLiteral("Solarized Light"), QStringLiteral("iTerm2 Solarized Light")},
        {QStringLiteral("Tango Dark"), QStringLiteral("iTerm2 Tango Dark")},
        {QStringLiteral("Tango Light"), QStringLiteral("iTerm2 Tango Light")},
    };
    return presets;
}

ITermThemeStore::ITermThemeStore()
    : ITermThemeStore(resourceFolder)
{ }

ITermThemeStore::ITermThemeStore(const QString &presetFolder)
    : ThemeStore(loadBuiltInThemes(presetFolder), &readCustomThemes)
{ }

QList<ITermTheme> ITermThemeStore::loadBuiltInThemes(const QString &presetFolder)
{
    initialisePresetResources();
    QList<ITermTheme> themes;
    for (const BuiltInPreset &preset : builtInPresets()) {
        if (const auto values = AppFiles::readPropertyListDictionary(
                presetFolder + QLatin1Char('/') + preset.resource + QStringLiteral(".itermcolors")))
            themes.append({preset.name, *values});
    }
    return themes;
}

QList<ITermTheme> ITermThemeStore::readCustomThemes()
{
    QList<ITermTheme> themes;
    Platform::UserDefaults *preferences = Platform::UserDefaults::suite(domain);
    if (!preferences)
        return themes;
    const QVariant stored = preferences->value(customPresetsKey);
    if (stored.typeId() != QMetaType::QVariantMap)
        return themes;
    const QVariantMap presets = stored.toMap();
    for (auto it = presets.cbegin(); it != presets.cend(); ++it) {
        // A preset without a name would be a row nobody can tell from "Don't set".
        if (it.value().typeId() == QMetaType::QVariantMap && !it.key().trimmed().isEmpty())
            themes.append({it.key(), it.value().toMap()});
    }
    return ThemeSort::sortedByName(themes, [](const ITermTheme &theme) { return theme.name; });
}

std::optional<ITermTheme> ITermThemeStore::theme(const QString &name) const
{
    const auto found = find([&name](const ITermTheme &theme) { return theme.name == name; });
    return found ? std::optional(found->first) : std::nullopt;
}

std::optional<ITermTheme> ITermThemeStore::theme(const QVariantMap &profile, bool isDark) const
{
    const auto found = find([&profile, isDark](const ITermTheme &theme) {
        return ITermColorEntries::matches(theme.values, profile, isDark);
    });
    return found ? std::optional(found->first) : std::nullopt;
}
