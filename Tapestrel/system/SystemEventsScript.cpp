#include "Tapestrel/system/SystemEventsScript.h"

#include "Tapestrel/model/OptionModel.h"
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

QCoro::Task<void> apply(QString optionKey, QString script, Platform::ScriptHost::Reach reach)
{
    AppleScriptRunner runner(script);
    runner.setReach(reach);
    // A script that failed changed nothing (a preference domain that cannot be written, say). Only
    // automation the user refused is theirs to know about already.
    if (!co_await runner.run() && runner.errorNumber() != Platform::ScriptHost::notAuthorizedError)
        throw OptionModelError(optionKey, runner.errorMessage());
    if (!runner.desktopFailure().isEmpty())
        throw OptionModelError(optionKey, runner.desktopFailure());
}

QCoro::Task<std::optional<Platform::ScriptValue>> value(QString script)
{
    AppleScriptRunner runner(script);
    co_return co_await runner.runAndGetValue();
}

} // namespace SystemEventsScript
