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
// Runs a script and gives the value it returned; nothing when it failed.
QCoro::Task<std::optional<Platform::ScriptValue>> value(QString script);

} // namespace SystemEventsScript
