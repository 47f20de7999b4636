#include "Tapestrel/system/DockPositionOptionModel.h"

#include "Tapestrel/system/DockPosition.h"
#include "Tapestrel/system/DockPositionPicker.h"
#include "Tapestrel/system/DockPreferenceScripts.h"
#include "Tapestrel/system/SystemEventsScript.h"

namespace {
const QString property = QStringLiteral("screen edge");
}

QWidget *DockPositionOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new DockPositionPicker(option, parent);
}

QCoro::Task<void> DockPositionOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    const std::optional<DockPosition> position =
        decodedOptionValue(key(), value, fromRawValue<DockPosition>(value));
    if (!position)
        co_return;
    co_await SystemEventsScript::apply(key(),
                                       DockPreferenceScripts::setScript(property, toRawValue(*position)));
}

QCoro::Task<std::optional<QString>> DockPositionOptionModel::readCurrentValue(QPointer<Profile>)
{
    const auto result = co_await SystemEventsScript::value(DockPreferenceScripts::readScript(property));
    using Kind = Platform::ScriptValue::Kind;
    if (!result || (result->kind() != Kind::Enumerated && result->kind() != Kind::Text))
        co_return std::nullopt;
    const QString code = result->stringValue().value_or(QString());
    // System Events answers with its four-character constant codes.
    if (code == u"left")
        co_return toRawValue(DockPosition::left);
    if (code == u"righ")
        co_return toRawValue(DockPosition::right);
    co_return toRawValue(DockPosition::bottom);
}
