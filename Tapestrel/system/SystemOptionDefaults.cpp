#include "Tapestrel/system/SystemOptionDefaults.h"

#include "Tapestrel/system/SystemDefaultsManager.h"

#include <QMutex>
#include <QtConcurrent>

#include <QCoro/QCoroFuture>

namespace SystemOptionDefaults {

namespace {

constexpr int historyLimit = 500;

QMutex historyMutex;
QList<QStringList> runs;

void record(const QStringList &arguments)
{
    QMutexLocker locker(&historyMutex);
    runs.append(arguments);
    if (runs.size() > historyLimit)
        runs.removeFirst();
}

const SystemDefaultsManager &manager()
{
    static const SystemDefaultsManager instance;
    return instance;
}

// The error of a failed write, or nothing: an exception would not cross the thread pool intact.
std::optional<QString> writeNow(QStringList arguments)
{
    try {
        manager().write(arguments);
        return std::nullopt;
    } catch (const DefaultsWriteError &error) {
        return QString::fromUtf8(error.what());
    }
}

} // namespace

QCoro::Task<void> write(QStringList arguments)
{
    record(arguments);
    const std::optional<QString> failure = co_await QtConcurrent::run(&writeNow, std::move(arguments));
    if (failure)
        throw DefaultsWriteError(*failure);
}

QCoro::Task<void> writeBool(std::optional<QString> domain, QString key, bool value)
{
    // The argument list SystemDefaultsManager::writeBool() hands the tool.
    const QStringList arguments {QStringLiteral("write"), domain.value_or(QStringLiteral("-g")), key,
                                 QStringLiteral("-bool"),
                                 value ? QStringLiteral("true") : QStringLiteral("false")};
    co_await write(arguments);
}

std::optional<QString> readString(const QString &key)
{
    return manager().readString(std::nullopt, key);
}

std::optional<bool> readBool(const std::optional<QString> &domain, const QString &key)
{
    return manager().readBool(domain, key);
}

QList<QStringList> history()
{
    QMutexLocker locker(&historyMutex);
    return runs;
}

void clearHistory()
{
    QMutexLocker locker(&historyMutex);
    runs.clear();
}

} // namespace SystemOptionDefaults
