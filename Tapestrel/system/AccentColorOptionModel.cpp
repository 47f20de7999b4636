#include "Tapestrel/system/AccentColorOptionModel.h"

#include "Tapestrel/system/AccentColor.h"
#include "Tapestrel/system/AccentColorPicker.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/DistributedNotifications.h"
#include "platform/LinuxDesktop.h"

#include <QCoro/QCoroFuture>
#include <QtConcurrent>

namespace {

const QString defaultsKey = QStringLiteral("AppleAccentColor");

// Sets the real desktop's accent colour; why it did not take it, when it did not. A desktop's tool may
// take a while, so this runs off the program's main thread.
std::optional<QString> setDesktopAccent(std::shared_ptr<Platform::LinuxDesktop> desktop, QString name)
{
    try {
        desktop->setAccentColor(name);
    } catch (const Platform::DesktopError &error) {
        return error.message();
    }
    return std::nullopt;
}

} // namespace

QWidget *AccentColorOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new AccentColorPicker(option, parent);
}

QCoro::Task<void> AccentColorOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    const std::optional<AccentColor> stored =
        decodedOptionValue(key(), value, fromRawValue<AccentColor>(value));
    if (!stored)
        co_return;
    const AccentColor color = *stored;
    const std::optional<QString> number = AccentColors::defaultsValue(color);
    const QStringList arguments = number
        ? QStringList {QStringLiteral("write"), QStringLiteral("-g"), defaultsKey, QStringLiteral("-int"),
                       *number}
        : QStringList {QStringLiteral("delete"), QStringLiteral("-g"), defaultsKey};
    co_await SystemOptionDefaults::write(arguments);
    Platform::DistributedNotifications::defaultCenter().post(QStringLiteral("AppleAquaColorVariantChanged"));
    if (std::shared_ptr<Platform::LinuxDesktop> desktop = Platform::LinuxDesktop::current()) {
        const std::optional<QString> refusal =
            co_await QtConcurrent::run(&setDesktopAccent, std::move(desktop), toRawValue(color));
        if (refusal)
            throw OptionModelError(key(), *refusal);
    }
}

QCoro::Task<std::optional<QString>> AccentColorOptionModel::readCurrentValue(QPointer<Profile>)
{
    if (const std::shared_ptr<Platform::LinuxDesktop> desktop = Platform::LinuxDesktop::current()) {
        if (const std::optional<QString> shown = desktop->accentColor())
            co_return *shown;
    }
    const std::optional<QString> stored = SystemOptionDefaults::readString(defaultsKey);
    co_return toRawValue(stored ? AccentColors::fromDefaultsValue(*stored) : AccentColor::multicolor);
}
