#include "Tapestrel/system/DockSizeOptionModel.h"

#include "Tapestrel/system/DockPreferenceScripts.h"
#include "Tapestrel/system/DockSize.h"
#include "Tapestrel/system/DockSizePicker.h"
#include "Tapestrel/system/SystemEventsScript.h"

#include <cmath>

namespace {
const QString property = QStringLiteral("dock size");
}

QWidget *DockSizeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new DockSizePicker(option, parent);
}

QCoro::Task<void> DockSizeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    const std::optional<double> size = decodedOptionValue(key(), value, DockSize::parse(value));
    if (!size)
        co_return;
    co_await SystemEventsScript::apply(key(),
                                       DockPreferenceScripts::setScript(property, DockSize::format(*size)));
}

QCoro::Task<std::optional<QString>> DockSizeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const auto result = co_await SystemEventsScript::value(DockPreferenceScripts::readScript(property));
    const std::optional<double> size = result ? result->doubleValue() : std::nullopt;
    if (!size || !std::isfinite(*size))
        co_return std::nullopt;
    co_return DockSize::format(*size);
}
