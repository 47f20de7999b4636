#include "Tapestrel/apps/lumapad/LumapadShowBackgroundOptionModel.h"

#include "Tapestrel/apps/frame/AppDefaults.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/model/ToggleOptionPicker.h"

#include <QCoreApplication>

LumapadShowBackgroundOptionModel::LumapadShowBackgroundOptionModel(LumapadAppConfig *config,
                                                                   bool defaultValue)
    : m_config(config)
    , m_defaultValue(defaultValue)
{ }

QWidget *LumapadShowBackgroundOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ToggleOptionPicker(
        QCoreApplication::translate("LumapadShowBackgroundOptionModel", "Show Note Background"), option,
        parent);
}

QCoro::Task<void> LumapadShowBackgroundOptionModel::apply(QString value, QPointer<Profile>,
                                                          std::shared_ptr<bool>)
{
    const std::optional<QString> edition = m_config->currentBundleID();
    if (!edition)
        co_return;
    const std::optional<bool> show = decodedOptionValue(key(), value, boolFromOptionValue(value));
    if (!show)
        co_return;
    // QStringLiteral is a lambda: it stays out of the co_await's expression.
    const QStringList arguments {QStringLiteral("write"), *edition, defaultsKey, QStringLiteral("-bool"),
                                 OptionValue::fromBool(*show)};
    co_await AppDefaults::write(arguments);
}

bool LumapadShowBackgroundOptionModel::readEnableNoteBackground() const
{
    const std::optional<QString> edition = m_config->currentBundleID();
    if (!edition)
        return m_defaultValue;
    return AppDefaults::readBool(*edition, defaultsKey).value_or(m_defaultValue);
}

QCoro::Task<std::optional<QString>> LumapadShowBackgroundOptionModel::readCurrentValue(QPointer<Profile>)
{
    // Nothing while Lumapad is not installed: the default would be applied once it is.
    if (!m_config->currentBundleID())
        co_return std::nullopt;
    co_return OptionValue::fromBool(readEnableNoteBackground());
}
