#pragma once

#include "platform/ScriptHost.h"

#include <QString>

#include <QCoro/QCoroTask>

#include <optional>

// The scripts that the system options send to System Events: three lines joined by line feeds, the
// middle one a single command indented by four blanks.
namespace SystemEventsScript {

QString make(const QString &command);

// Runs a script and says whether it succeeded.
QCoro::Task<bool> run(QString script);
// Runs the script that applies an option. A script that fails (a preference domain that cannot be
// written, say) throws OptionModelError for `optionKey` with the script's error, unless the user
// refused automation; so does a change the real desktop did not take, with the desktop's reason. With `reach`
// emulatedHome the desktop is not touched.
QCoro::Task<void> apply(QString optionKey, QString script,
                        Platform::ScriptHost::Reach reach = Platform::ScriptHost::Reach::desktop);
// Runs a script and gives the value it returned; nothing when it failed.
QCoro::Task<std::optional<Platform::ScriptValue>> value(QString script);

} // namespace SystemEventsScript
