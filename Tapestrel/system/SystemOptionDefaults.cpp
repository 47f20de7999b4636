#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/DefaultsTool.h"
#include "platform/UserDefaults.h"

#include <QMutex>
#include <QProcess>

namespace SystemOptionDefaults {

namespace {

constexpr int toolTimeoutMs = 10000;
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

} // namespace

void write(const QStringList &arguments)
{
    record(arguments);
    const QString tool = Platform::DefaultsTool::path();
    if (tool.isEmpty())
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(tool, arguments);
    if (!process.waitForStarted(toolTimeoutMs))
        return;
    if (!process.waitForFinished(toolTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

void writeBool(const std::optional<QString> &domain, const QString &key, bool value)
{
    write({QStringLiteral("write"), domain.value_or(QStringLiteral("-g")), key, QStringLiteral("-bool"),
           value ? QStringLiteral("true") : QStringLiteral("false")});
}

std::optional<QString> readString(const QString &key)
{
    return Platform::UserDefaults::standard().string(key);
}

std::optional<bool> readBool(const std::optional<QString> &domain, const QString &key)
{
    Platform::UserDefaults *defaults =
        domain ? Platform::UserDefaults::suite(*domain) : &Platform::UserDefaults::standard();
    if (!defaults)
        return std::nullopt;
    const QVariant value = defaults->value(key);
    if (!value.isValid())
        return std::nullopt;
    return Platform::UserDefaults::boolFromValue(value);
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
