#include "Tapestrel/apps/noteplan/NotePlanThemeOptionModel.h"

#include "Tapestrel/apps/frame/AppDefaults.h"
#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/apps/noteplan/NotePlanThemePicker.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"
#include "Tapestrel/system/EnvironmentInfo.h"

NotePlanThemeOptionModel::NotePlanThemeOptionModel(NotePlanAppConfig *config)
    : m_config(config)
{ }

NotePlanThemeOptionModel::~NotePlanThemeOptionModel() = default;

const QStringList &NotePlanThemeOptionModel::reloadNotifications()
{
    static const QStringList names {QStringLiteral("AppleColorPreferencesChangedNotification"),
                                    QStringLiteral("AppleInterfaceThemeChangedNotification"),
                                    QStringLiteral("AppleAquaColorVariantChanged")};
    return names;
}

QString NotePlanThemeOptionModel::slotKey()
{
    return EnvironmentInfo::shared().isDarkMode() ? QStringLiteral("themeDark")
                                                  : QStringLiteral("themeLight");
}

QStringList NotePlanThemeOptionModel::slotArguments(const QString &verb, const QString &edition)
{
    return {verb, edition, slotKey(), QStringLiteral("-string")};
}

NotePlanThemeStore *NotePlanThemeOptionModel::store()
{
    if (!m_store)
        m_store = std::make_unique<NotePlanThemeStore>(m_config);
    return m_store.get();
}

QWidget *NotePlanThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new NotePlanThemePicker(option, store(), parent);
}

QWidget *NotePlanThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

std::optional<ThemeInfo> NotePlanThemeOptionModel::themeInfo(const Profile *profile) const
{
    const QString value = optionValue(profile, key());
    const NotePlanThemeStore themes(m_config);
    return themeInfoIn(
        themes, m_config->appName(), [&value](const NotePlanTheme &theme) { return theme.id == value; },
        [](const NotePlanTheme &theme) { return theme.name; });
}

QCoro::Task<std::optional<QString>> NotePlanThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const std::optional<QString> edition = m_config->currentBundleID();
    if (!edition)
        co_return std::nullopt;
    co_return co_await AppDefaults::run(slotArguments(QStringLiteral("read"), *edition));
}

QCoro::Task<void> NotePlanThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    const std::optional<QString> edition = m_config->currentBundleID();
    if (!edition || value.isEmpty())
        co_return;
    const std::optional<QString> current =
        co_await AppDefaults::run(slotArguments(QStringLiteral("read"), *edition));
    if (current == value)
        co_return;
    const QStringList write = slotArguments(QStringLiteral("write"), *edition) << value;
    co_await AppDefaults::write(write);
    AppDefaults::post(reloadNotifications());
}
