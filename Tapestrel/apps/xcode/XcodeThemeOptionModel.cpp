#include "Tapestrel/apps/xcode/XcodeThemeOptionModel.h"

#include "Tapestrel/apps/frame/AppDefaults.h"
#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/apps/xcode/XcodeThemePicker.h"
#include "Tapestrel/apps/xcode/XcodeThemeStore.h"
#include "Tapestrel/system/EnvironmentInfo.h"

XcodeThemeOptionModel::XcodeThemeOptionModel(XcodeAppConfig *config)
    : m_config(config)
{ }

QString XcodeThemeOptionModel::slotKey()
{
    return EnvironmentInfo::shared().isDarkMode() ? QStringLiteral("XCFontAndColorCurrentDarkTheme")
                                                  : QStringLiteral("XCFontAndColorCurrentTheme");
}

QWidget *XcodeThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    // A new store every time the row is made: theme files added since show up then.
    return new XcodeThemePicker(option, std::make_unique<XcodeThemeStore>(), parent);
}

QCoro::Task<void> XcodeThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value.isEmpty())
        co_return;
    const QStringList arguments {QStringLiteral("write"), domain, slotKey(), QStringLiteral("-string"),
                                 value};
    co_await AppDefaults::write(arguments);
    AppDefaults::post({notification});
}

QCoro::Task<std::optional<QString>> XcodeThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const QStringList arguments {QStringLiteral("read"), domain, slotKey(), QStringLiteral("-string")};
    co_return co_await AppDefaults::run(arguments);
}

std::optional<ThemeInfo> XcodeThemeOptionModel::themeInfo(const Profile *profile) const
{
    const QString value = optionValue(profile, optionKey());
    if (value.isEmpty())
        return std::nullopt;
    return themeInfoIn(
        XcodeThemeStore(), QStringLiteral("Xcode"),
        [&value](const XcodeTheme &theme) { return theme.id() == value; },
        [](const XcodeTheme &theme) { return theme.displayName(); });
}
