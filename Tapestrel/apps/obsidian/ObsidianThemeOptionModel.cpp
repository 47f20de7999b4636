#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"

#include "Tapestrel/apps/obsidian/ObsidianAppearanceFileController.h"
#include "Tapestrel/apps/obsidian/ObsidianTheme.h"
#include "Tapestrel/apps/obsidian/ObsidianThemePicker.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"
#include "Tapestrel/model/Profile.h"

ObsidianThemeOptionModel::ObsidianThemeOptionModel(ObsidianAppConfig *config)
    : m_config(config)
{ }

QWidget *ObsidianThemeOptionModel::makePicker(Option *option, Profile *profile, QWidget *parent)
{
    return new ObsidianThemePicker(option, profile, parent);
}

std::optional<ThemeInfo> ObsidianThemeOptionModel::themeInfo(const Profile *profile) const
{
    const QString value = profile ? profile->value(optionKey()) : QString();
    if (value == doNotSetValue)
        return std::nullopt;
    for (const ObsidianTheme &theme : ObsidianThemes::builtInThemes()) {
        if (theme.id == value)
            return ThemeInfo {QStringLiteral("Obsidian"), theme.name, true};
    }
    return ThemeInfo {QStringLiteral("Obsidian"), value, false};
}

QCoro::Task<void> ObsidianThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value == doNotSetValue)
        co_return;
    co_await ObsidianAppearanceFileController::write(ObsidianAppearanceFileController::Member::cssTheme,
                                                     value, optionKey());
}

QCoro::Task<std::optional<QString>> ObsidianThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return co_await ObsidianAppearanceFileController::read(
        ObsidianAppearanceFileController::Member::cssTheme);
}

QWidget *ObsidianThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}
