#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"

#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/apps/vscode/VSCodeLocations.h"
#include "Tapestrel/apps/vscode/VSCodeProfileSettingsController.h"
#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"
#include "Tapestrel/apps/vscode/VSCodeThemePicker.h"
#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"
#include "Tapestrel/system/EnvironmentInfo.h"

#include <QCoreApplication>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

namespace {

std::optional<QString> VSCodeProfileSettings::*fieldOf(const QString &key)
{
    if (key == VSCodeProfileSettings::darkThemeKey)
        return &VSCodeProfileSettings::darkTheme;
    if (key == VSCodeProfileSettings::lightThemeKey)
        return &VSCodeProfileSettings::lightTheme;
    return &VSCodeProfileSettings::colorTheme;
}

// Sets the theme under the key that the file's own settings choose, as they are when it is written.
std::optional<QString> setTheme(const QString &path, const QString &theme, bool isDarkMode)
{
    return VSCodeProfileSettingsController::edit(path, [&theme, isDarkMode](VSCodeProfileSettings &settings) {
        settings.*fieldOf(VSCodeThemeOptionModel::themeKey(settings, isDarkMode)) = theme;
    });
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
    // The empty text names no theme (a profile read while VS Code had none): it sets nothing.
    if (value.isEmpty() || value == doNotSetValue)
        co_return;
    const VSCodeSelectedProfileController selection;
    // Without VS Code's folder, VS Code has never run here: there is nothing to theme.
    if (!selection.profile() || !VSCodeLocations::userDataPath())
        co_return;
    const VSCodeProfile profile = *selection.profile();
    const std::optional<QString> folder = VSCodeLocations::profilePath(profile);
    if (!folder) {
        throw OptionModelError(
            optionKey(),
            QCoreApplication::translate("VSCodeThemeOptionModel",
                                        "The folder of the VS Code profile “%1”, “%2”, does "
                                        "not exist, so its theme was not set.")
                .arg(profile.name, VSCodeLocations::profileFolder(profile)));
    }
    // A profile without a settings file gets one holding the theme, as VS Code makes it on the first
    // setting changed. One that is not JSON with comments is left alone, and the user learns why the
    // theme did not change.
    const QString path = *folder + QStringLiteral("/settings.json");
    // On the thread pool: the edit may wait a moment for VS Code to finish saving the file.
    const bool isDarkMode = EnvironmentInfo::shared().isDarkMode();
    const std::optional<QString> failure = co_await QtConcurrent::run(&setTheme, path, value, isDarkMode);
    if (failure)
        throw OptionModelError(optionKey(), *failure);
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
