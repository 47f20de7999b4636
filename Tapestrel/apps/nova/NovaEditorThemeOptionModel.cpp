#include "Tapestrel/apps/nova/NovaEditorThemeOptionModel.h"

#include "Tapestrel/apps/frame/AppDefaults.h"
#include "Tapestrel/apps/nova/NovaEditorThemePicker.h"
#include "Tapestrel/apps/nova/NovaThemeStore.h"
#include "Tapestrel/system/EnvironmentInfo.h"

NovaEditorThemeOptionModel::NovaEditorThemeOptionModel(NovaAppConfig *config)
    : m_config(config)
{ }

NovaEditorThemeOptionModel::~NovaEditorThemeOptionModel() = default;

QString NovaEditorThemeOptionModel::slotKey()
{
    return EnvironmentInfo::shared().isDarkMode() ? QStringLiteral("EditorDarkTheme")
                                                  : QStringLiteral("EditorLightTheme");
}

NovaThemeStore &NovaEditorThemeOptionModel::store()
{
    if (!m_store)
        m_store = std::make_unique<NovaThemeStore>();
    return *m_store;
}

QWidget *NovaEditorThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new NovaEditorThemePicker(option, &store(), parent);
}

QCoro::Task<void> NovaEditorThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    const std::optional<QString> bundleID = m_config->currentBundleID();
    // The empty text names no theme (a profile read while Nova had none stored holds it): writing it
    // would only erase the theme the user chose since.
    if (!bundleID || value == doNotSet || value.isEmpty())
        co_return;
    const QStringList arguments {QStringLiteral("write"), *bundleID, slotKey(), QStringLiteral("-string"),
                                 value};
    co_await AppDefaults::write(arguments);
}

QCoro::Task<std::optional<QString>> NovaEditorThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const std::optional<QString> bundleID = m_config->currentBundleID();
    if (!bundleID)
        co_return std::nullopt;
    const QStringList arguments {QStringLiteral("read"), *bundleID, slotKey(), QStringLiteral("-string")};
    co_return co_await AppDefaults::run(arguments);
}
