#include "Tapestrel/system/SystemOptionDefaults.h"

#include "Tapestrel/system/SystemDefaultsManager.h"

#include <QMutex>

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

} // namespace

void write(const QStringList &arguments)
{
    record(arguments);
    manager().write(arguments);
}

void writeBool(const std::optional<QString> &domain, const QString &key, bool value)
{
    // The argument list the manager hands the tool.
    record({QStringLiteral("write"), domain.value_or(QStringLiteral("-g")), key, QStringLiteral("-bool"),
            value ? QStringLiteral("true") : QStringLiteral("false")});
    manager().writeBool(domain, key, value);
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
