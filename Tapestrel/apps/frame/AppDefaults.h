#pragma once

#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <optional>

// How the theme options reach other applications' preference domains and announce a change. The
// defaults tool runs as a child process on the thread pool, so the program stays responsive while
// it runs; the awaiting caller resumes on its own thread. Writes are recorded with the system
// options' writes (SystemOptionDefaults::history()).
namespace AppDefaults {

// The tool's trimmed standard output (the empty text when it printed nothing); nothing when its
// output is not text or it could not run.
QCoro::Task<std::optional<QString>> run(QStringList arguments);
// Runs the tool and waits for it; throws DefaultsWriteError when it could not run or refused.
QCoro::Task<void> write(QStringList arguments);

// A Boolean of another application's preference domain, read in this process: a Boolean, or a
// number (non-zero is true); nothing for a text or any other value, an absent key or a domain that
// cannot be opened.
std::optional<bool> readBool(const QString &domain, const QString &key);

// Posts distributed notifications with no object and no user information, in this order.
void post(const QStringList &names);

} // namespace AppDefaults
