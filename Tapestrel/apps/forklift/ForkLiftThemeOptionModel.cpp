#include "Tapestrel/apps/forklift/ForkLiftThemeOptionModel.h"

#include "Tapestrel/apps/forklift/ForkLiftThemePicker.h"
#include "Tapestrel/apps/forklift/ForkLiftThemeStore.h"
#include "Tapestrel/apps/frame/AppDefaults.h"
#include "Tapestrel/apps/frame/ThemeLookup.h"

ForkLiftThemeOptionModel::ForkLiftThemeOptionModel(ForkliftAppConfig *config)
    : m_config(config)
{ }

ForkLiftThemeOptionModel::~ForkLiftThemeOptionModel() = default;

ForkLiftThemeStore &ForkLiftThemeOptionModel::store()
{
    if (!m_store)
        m_store = std::make_unique<ForkLiftThemeStore>(m_config);
    return *m_store;
}

QWidget *ForkLiftThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ForkLiftThemePicker(option, &store(), parent);
}

QCoro::Task<void> ForkLiftThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    // The edition is worked out afresh, so a new choice counts from the next apply.
    const std::optional<QString> domain = m_config->currentBundleID();
    if (!domain || value.isEmpty())
        co_return;
    const QStringList arguments {QStringLiteral("write"), *domain, QStringLiteral("theme"),
                                 QStringLiteral("-string"), value};
    co_await AppDefaults::write(arguments);
}

QCoro::Task<std::optional<QString>> ForkLiftThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const std::optional<QString> domain = m_config->currentBundleID();
    if (!domain)
        co_return std::nullopt;
    const QStringList arguments {QStringLiteral("read"), *domain, QStringLiteral("theme"),
                                 QStringLiteral("-string")};
    co_return co_await AppDefaults::run(arguments);
}

std::optional<ThemeInfo> ForkLiftThemeOptionModel::themeInfo(const Profile *profile) const
{
    const QString value = optionValue(profile, optionKey());
    return themeInfoIn(
        ForkLiftThemeStore(m_config), QStringLiteral("ForkLift"),
        [&value](const ForkLiftTheme &theme) { return theme.id == value; },
        [](const ForkLiftTheme &theme) { return theme.name; });
}
