#include "Tapestrel/apps/terminal/TerminalThemeOptionModel.h"

#include "Tapestrel/apps/frame/AppDefaults.h"
#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/apps/terminal/TerminalThemePicker.h"
#include "Tapestrel/apps/terminal/TerminalThemeStore.h"

TerminalThemeOptionModel::TerminalThemeOptionModel(TerminalAppConfig *config, QString defaultsKey,
                                                   QString pickerTitle, QString application)
    : m_config(config)
    , m_defaultsKey(std::move(defaultsKey))
    , m_pickerTitle(std::move(pickerTitle))
    , m_application(std::move(application))
{ }

QWidget *TerminalThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    // A new store every time: the list shows Terminal's profiles as they are now.
    return new TerminalThemePicker(option, std::make_unique<TerminalThemeStore>(), m_pickerTitle, parent);
}

QCoro::Task<void> TerminalThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value.isEmpty())
        co_return;
    const QStringList arguments {QStringLiteral("write"), TerminalThemeStore::domain, m_defaultsKey,
                                 QStringLiteral("-string"), value};
    co_await AppDefaults::write(arguments);
}

QCoro::Task<std::optional<QString>> TerminalThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const QStringList arguments {QStringLiteral("read"), TerminalThemeStore::domain, m_defaultsKey,
                                 QStringLiteral("-string")};
    co_return co_await AppDefaults::run(arguments);
}

std::optional<ThemeInfo> TerminalThemeOptionModel::themeInfo(const Profile *profile) const
{
    const QString value = optionValue(profile, key());
    return themeInfoIn(
        TerminalThemeStore(), m_application,
        [&value](const TerminalTheme &theme) { return theme.name == value; },
        [](const TerminalTheme &theme) { return theme.name; });
}
