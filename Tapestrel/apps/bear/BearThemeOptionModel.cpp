#include "Tapestrel/apps/bear/BearThemeOptionModel.h"

#include "Tapestrel/apps/bear/BearThemePicker.h"
#include "Tapestrel/apps/bear/BearThemeStore.h"
#include "Tapestrel/apps/frame/AppDefaults.h"
#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/system/EnvironmentInfo.h"

BearThemeOptionModel::BearThemeOptionModel(BearAppConfig *config, QString domain)
    : m_config(config)
    , m_domain(std::move(domain))
{ }

BearThemeOptionModel::~BearThemeOptionModel() = default;

QString BearThemeOptionModel::slotKey()
{
    return EnvironmentInfo::shared().isDarkMode() ? QStringLiteral("SFAppDarkThemeName")
                                                  : QStringLiteral("SFAppThemeName");
}

BearThemeStore &BearThemeOptionModel::store()
{
    if (!m_store)
        m_store = std::make_unique<BearThemeStore>();
    return *m_store;
}

QWidget *BearThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new BearThemePicker(option, &store(), parent);
}

QCoro::Task<void> BearThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value.isEmpty())
        co_return;
    const QStringList arguments {QStringLiteral("write"), m_domain, slotKey(), QStringLiteral("-string"),
                                 value};
    co_await AppDefaults::write(arguments);
    AppDefaults::post(notifications);
}

QCoro::Task<std::optional<QString>> BearThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const QStringList arguments {QStringLiteral("read"), m_domain, slotKey(), QStringLiteral("-string")};
    co_return co_await AppDefaults::run(arguments);
}

std::optional<ThemeInfo> BearThemeOptionModel::themeInfo(const Profile *profile) const
{
    const QString value = optionValue(profile, optionKey());
    return themeInfoIn(
        BearThemeStore(), QStringLiteral("Bear"),
        [&value](const BearTheme &theme) { return theme.id == value; },
        [](const BearTheme &theme) { return theme.name; });
}
