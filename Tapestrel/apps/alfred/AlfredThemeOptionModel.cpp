#include "Tapestrel/apps/alfred/AlfredThemeOptionModel.h"

#include "Tapestrel/apps/alfred/AlfredThemePicker.h"
#include "Tapestrel/apps/alfred/AlfredThemeStore.h"
#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"
#include "Tapestrel/system/AppleScriptRunner.h"
#include "Tapestrel/system/EnvironmentInfo.h"

AlfredThemeOptionModel::AlfredThemeOptionModel(AlfredAppConfig *config)
    : m_config(config)
{ }

AlfredThemeOptionModel::~AlfredThemeOptionModel() = default;

AlfredThemeStore &AlfredThemeOptionModel::store()
{
    if (!m_store)
        m_store = std::make_unique<AlfredThemeStore>();
    return *m_store;
}

std::optional<QString> AlfredThemeOptionModel::setThemeScript(const QString &themeName)
{
    // The name is escaped as a string literal: a theme file's name can neither break the script nor
    // add commands to it.
    const std::optional<QString> literal = AppleScriptRunner::stringLiteral(themeName);
    if (!literal)
        return std::nullopt;
    return QStringLiteral("tell application \"Alfred\" to set theme ") + *literal;
}

QWidget *AlfredThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new AlfredThemePicker(option, &store(), parent);
}

QCoro::Task<void> AlfredThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value.isEmpty())
        co_return;
    const std::optional<AlfredTheme> theme = store().theme(value);
    if (!theme)
        co_return;
    const std::optional<QString> script = setThemeScript(theme->name);
    if (!script)
        co_return;
    // A missing Alfred is not an error of the profile; preferences it cannot change are.
    AppleScriptRunner runner(*script);
    if (!co_await runner.run() && runner.errorNumber() != Platform::ScriptHost::cannotGetError)
        throw OptionModelError(optionKey(), runner.errorMessage());
}

QCoro::Task<std::optional<QString>> AlfredThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const std::optional<AlfredPrefs> prefs = AlfredPrefs::load();
    if (!prefs)
        co_return std::nullopt;
    const auto appearance = AppFiles::readPropertyListDictionary(prefs->appearanceFile());
    if (!appearance)
        co_return std::nullopt;
    const bool dark = EnvironmentInfo::shared().isDarkMode();
    const QVariant current =
        appearance->value(dark ? QStringLiteral("darkthemeuid") : QStringLiteral("lightthemeuid"));
    if (current.typeId() == QMetaType::QString)
        co_return current.toString();
    co_return dark ? defaultDarkTheme : defaultLightTheme;
}

QWidget *AlfredThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

std::optional<ThemeInfo> AlfredThemeOptionModel::themeInfo(const Profile *profile) const
{
    const QString value = optionValue(profile, optionKey());
    return themeInfoIn(
        AlfredThemeStore(), QStringLiteral("Alfred"),
        [&value](const AlfredTheme &theme) { return theme.id == value; },
        [](const AlfredTheme &theme) { return theme.name; });
}
