#include "Tapestrel/system/SystemEventsScript.h"

#include "Tapestrel/system/AppleScriptRunner.h"

namespace SystemEventsScript {

QString make(const QString &command)
{
    return QStringLiteral("tell application \"System Events\"\n    ") + command
        + QStringLiteral("\nend tell");
}

QCoro::Task<bool> run(QString script)
{
    AppleScriptRunner runner(script);
    co_return co_await runner.run();
}

QCoro::Task<std::optional<Platform::ScriptValue>> value(QString script)
{
    AppleScriptRunner runner(script);
    co_return co_await runner.runAndGetValue();
}

} // namespace SystemEventsScript
