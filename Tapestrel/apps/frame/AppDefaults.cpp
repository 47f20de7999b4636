#include "Tapestrel/apps/frame/AppDefaults.h"

#include "Tapestrel/system/SystemDefaultsManager.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/DistributedNotifications.h"

#include <QCoro/QCoroFuture>
#include <QtConcurrent>

namespace AppDefaults {

namespace {

std::optional<QString> runNow(QStringList arguments)
{
    return SystemDefaultsManager().run(arguments);
}

void writeNow(QStringList arguments)
{
    SystemOptionDefaults::write(arguments);
}

} // namespace

QCoro::Task<std::optional<QString>> run(QStringList arguments)
{
    co_return co_await QtConcurrent::run(&runNow, std::move(arguments));
}

QCoro::Task<void> write(QStringList arguments)
{
    co_await QtConcurrent::run(&writeNow, std::move(arguments));
}

void post(const QStringList &names)
{
    for (const QString &name : names)
        Platform::DistributedNotifications::defaultCenter().post(name);
}

} // namespace AppDefaults
