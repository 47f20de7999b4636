#include "Tapestrel/system/IconAndWidgetStyleOptionModel.h"

#include "Tapestrel/system/IconAndWidgetStyle.h"
#include "Tapestrel/system/IconAndWidgetStylePicker.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

namespace {
const QString defaultsKey = QStringLiteral("AppleIconAppearanceTheme");
}

QWidget *IconAndWidgetStyleOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new IconAndWidgetStylePicker(option, parent);
}

QString IconAndWidgetStyleOptionModel::currentValue()
{
    const std::optional<QString> stored = SystemOptionDefaults::readString(defaultsKey);
    const auto style = stored ? fromRawValue<IconAndWidgetStyle>(*stored) : std::nullopt;
    return toRawValue(style.value_or(IconAndWidgetStyle::defaultStyle));
}

QCoro::Task<void> IconAndWidgetStyleOptionModel::apply(QString value, QPointer<Profile>,
                                                       std::shared_ptr<bool> needsDockRestart)
{
    const std::optional<IconAndWidgetStyle> style =
        decodedOptionValue(key(), value, fromRawValue<IconAndWidgetStyle>(value));
    if (!style || currentValue() == toRawValue(*style))
        co_return;
    const QStringList arguments {QStringLiteral("write"), QStringLiteral("-g"), defaultsKey,
                                 QStringLiteral("-string"), toRawValue(*style)};
    co_await SystemOptionDefaults::write(arguments);
    co_await m_appearance.redraw();
    if (needsDockRestart)
        *needsDockRestart = true;
}

QCoro::Task<std::optional<QString>> IconAndWidgetStyleOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return currentValue();
}
