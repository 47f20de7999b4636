#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"

#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/apps/vscode/VSCodeProfileSettingsController.h"
#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"
#include "Tapestrel/apps/vscode/VSCodeThemePicker.h"
#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"
#include "Tapestrel/system/EnvironmentInfo.h"

namespace {

std::optional<QString> VSCodeProfileSettings::*fieldOf(const QString &key)
{
    if (key == VSCodeProfileSettings::darkThemeKey)
        return &VSCodeProfileSettings::darkTheme;
    if (key == VSCodeProfileSettings::lightThemeKey)
        return &VSCodeProfileSettings::lightTheme;
    return &VSCodeProfileSettings::colorTheme;
}

} // namespace

VSCodeThemeOptionModel::VSCodeThemeOptionModel(VSCodeAppConfig *config)
    : m_config(config)
{ }

QWidget *VSCodeThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new VSCodeThemePicker(option, parent);
}

QString VSCodeThemeOptionModel::themeKey(const VSCodeProfileSettings &settings, bool isDarkMode)
{
    if (!settings.autoDetectColorScheme.value_or(false))
        return VSCodeProfileSettings::colorThemeKey;
    return isDarkMode ? VSCodeProfileSettings::darkThemeKey : VSCodeProfileSettings::lightThemeKey;
}

QCoro::Task<void> VSCodeThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value == doNotSetValue)
        co_return;
    const VSCodeSelectedProfileController selection;
    if (!selection.profile())
        co_return;
    QString error;
    auto controller = VSCodeProfileSettingsController::open(*selection.profile(), &error);
    if (!controller) {
        // No settings file: nothing to change. One that is not JSON with comments is left alone,
        // and the user learns why the theme did not change.
        if (!error.isEmpty())
            throw OptionModelError(key(), error);
        co_return;
    }
    controller->settings.*fieldOf(themeKey(controller->settings, EnvironmentInfo::shared().isDarkMode())) =
        value;
    if (const auto failure = controller->save())
        throw OptionModelError(key(), *failure);
}

QCoro::Task<std::optional<QString>> VSCodeThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const VSCodeSelectedProfileController selection;
    if (!selection.profile())
        co_return std::nullopt;
    const auto controller = VSCodeProfileSettingsController::open(*selection.profile());
    if (!controller)
        co_return std::nullopt;
    co_return controller->settings
        .*fieldOf(themeKey(controller->settings, EnvironmentInfo::shared().isDarkMode()));
}

QWidget *VSCodeThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

std::optional<ThemeInfo> VSCodeThemeOptionModel::themeInfo(const Profile *profile) const
{
    const VSCodeSelectedProfileController selection;
    if (!selection.profile())
        return std::nullopt;
    const QString value = optionValue(profile, optionKey());
    const VSCodeThemeStore store(selection.profile());
    return themeInfoIn(
        store, m_config->appName(), [&value](const VSCodeTheme &theme) { return theme.id == value; },
        [](const VSCodeTheme &theme) { return theme.name; });
}
