#include "Tapestrel/apps/frame/AppDefaults.h"

#include "Tapestrel/system/SystemDefaultsManager.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/DistributedNotifications.h"
#include "platform/UserDefaults.h"

#include <QCoro/QCoroFuture>
#include <QtConcurrent>

namespace AppDefaults {

namespace {

std::optional<QString> runNow(QStringList arguments)
{
    return SystemDefaultsManager().run(arguments);
}

} // namespace

QCoro::Task<std::optional<QString>> run(QStringList arguments)
{
    co_return co_await QtConcurrent::run(&runNow, std::move(arguments));
}

QCoro::Task<void> write(QStringList arguments)
{
    co_await SystemOptionDefaults::write(std::move(arguments));
}

std::optional<bool> readBool(const QString &domain, const QString &key)
{
    Platform::UserDefaults *preferences = Platform::UserDefaults::suite(domain);
    if (!preferences)
        return std::nullopt;
    const QVariant value = preferences->value(key);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return Platform::UserDefaults::boolFromValue(value);
    default:
        return std::nullopt;
    }
}

void post(const QStringList &names)
{
    for (const QString &name : names)
        Platform::DistributedNotifications::defaultCenter().post(name);
}

} // namespace AppDefaults
