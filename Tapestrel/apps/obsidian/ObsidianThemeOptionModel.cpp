#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"

#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/apps/obsidian/ObsidianAppearanceFileController.h"
#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"
#include "Tapestrel/apps/obsidian/ObsidianThemePicker.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeStore.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"
#include "Tapestrel/model/Profile.h"

ObsidianThemeOptionModel::ObsidianThemeOptionModel(ObsidianAppConfig *config)
    : m_config(config)
{ }

QWidget *ObsidianThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ObsidianThemePicker(option, parent);
}

std::optional<ThemeInfo> ObsidianThemeOptionModel::themeInfo(const Profile *profile) const
{
    // The chosen vault's themes as they are now; none without a vault.
    const std::optional<ObsidianVault> vault = ObsidianSelectedVaultController::resolve();
    if (!vault)
        return std::nullopt;
    const QString value = optionValue(profile, optionKey());
    const ObsidianThemeStore store(vault);
    return themeInfoIn(
        store, QStringLiteral("Obsidian"), [&value](const ObsidianTheme &theme) { return theme.id == value; },
        [](const ObsidianTheme &theme) { return theme.name; });
}

QCoro::Task<void> ObsidianThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value.isEmpty() || value == doNotSetValue)
        co_return;
    const QString theme = value == ObsidianThemes::defaultThemeID ? QString() : value;
    co_await ObsidianAppearanceFileController::write(ObsidianAppearanceFileController::Member::cssTheme,
                                                     theme, optionKey());
}

QCoro::Task<std::optional<QString>> ObsidianThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const std::optional<QString> theme =
        co_await ObsidianAppearanceFileController::read(ObsidianAppearanceFileController::Member::cssTheme);
    if (theme && theme->isEmpty())
        co_return ObsidianThemes::defaultThemeID;
    co_return theme;
}

QWidget *ObsidianThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}
