#include "Tapestrel/apps/forklift/ForkLiftThemeStore.h"

#include "Tapestrel/apps/forklift/ForkLiftCustomTheme.h"
#include "Tapestrel/apps/forklift/ForkliftAppConfig.h"
#include "Tapestrel/apps/frame/ThemeSort.h"

#include "platform/UserDefaults.h"

ForkLiftThemeStore::ForkLiftThemeStore(const ForkliftAppConfig *config)
    : ThemeStore<ForkLiftTheme>(
        ThemeSort::sortedByName(builtInTable(), [](const ForkLiftTheme &theme) { return theme.name; }),
        [config] { return collectUserThemes(config); })
{ }

QList<ForkLiftTheme> ForkLiftThemeStore::builtInTable()
{
    QList<ForkLiftTheme> themes;
    for (const char *name :
         {"Default", "Dark", "Light", "ForkLift", "Bluerange", "Dracula", "Commander", "Sand", "Polar Night"})
        themes.append({QString::fromUtf8(name), QString::fromUtf8(name)});
    return themes;
}

QList<ForkLiftTheme> ForkLiftThemeStore::collectUserThemes(const ForkliftAppConfig *config)
{
    const std::optional<QString> domain = config ? config->currentBundleID() : std::nullopt;
    if (!domain)
        return {};
    Platform::UserDefaults *suite = Platform::UserDefaults::suite(*domain);
    const std::optional<QByteArray> data = suite ? suite->data(QStringLiteral("themes")) : std::nullopt;
    if (!data)
        return {};
    return ForkLiftCustomTheme::decode(*data);
}
