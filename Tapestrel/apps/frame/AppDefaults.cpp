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

// The error of a failed write, or nothing: an exception would not cross the thread pool intact.
std::optional<QString> writeNow(QStringList arguments)
{
    try {
        SystemOptionDefaults::write(arguments);
        return std::nullopt;
    } catch (const DefaultsWriteError &error) {
        return QString::fromUtf8(error.what());
    }
}

} // namespace

QCoro::Task<std::optional<QString>> run(QStringList arguments)
{
    co_return co_await QtConcurrent::run(&runNow, std::move(arguments));
}

QCoro::Task<void> write(QStringList arguments)
{
    const std::optional<QString> failure = co_await QtConcurrent::run(&writeNow, std::move(arguments));
    if (failure)
        throw DefaultsWriteError(*failure);
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
