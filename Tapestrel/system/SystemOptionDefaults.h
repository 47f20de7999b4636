#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <optional>

// How the system options reach other domains' user defaults, through one SystemDefaultsManager:
// writes run the defaults tool with an argument list built in full by the option ("write", "-g", key,
// "-int", "4"; "delete", "-g", key), reads ask the preference domains in process. Every argument list
// handed to the tool is kept, oldest first, for tests and diagnostics.
//
// The tool may wait for another program's save of the domain, so writes run it on the thread pool and
// resume the awaiting caller on its own thread: the window never stops for it.
namespace SystemOptionDefaults {

// Runs the tool with exactly these arguments and waits for it. Throws DefaultsWriteError when it
// could not run or refused (SystemDefaultsManager::write()).
QCoro::Task<void> write(QStringList arguments);
// "write", domain or "-g", key, "-bool", "true"/"false"; throws as write() does.
QCoro::Task<void> writeBool(std::optional<QString> domain, QString key, bool value);

// The program's own defaults (whose search list covers the global domain): the key's value as text,
// numbers in decimal; nothing when it has none.
std::optional<QString> readString(const QString &key);
// The domain's (or, without one, the program's own) Boolean reading of the key; nothing when the key
// has no value or the domain cannot be opened.
std::optional<bool> readBool(const std::optional<QString> &domain, const QString &key);

QList<QStringList> history();
void clearHistory();

} // namespace SystemOptionDefaults
