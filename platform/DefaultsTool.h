#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace Platform {

class UserDefaults;

// The defaults tool ("tapestrel-defaults"), run as a child process.
class DefaultsTool
{
public:
    // Where it is: $TAPESTREL_DEFAULTS_TOOL when set, else the program's own folder (it is installed
    // next to the program); never searched on the search path. Empty when it is not there.
    static QString path();

    // The domain that an argument of the tool names: "-g" (or "-globalDomain") the global domain, any
    // other as UserDefaults::suite() takes it; none for a name that cannot be a domain.
    static UserDefaults *domain(const QString &argument);

    // What one run came to.
    struct Run
    {
        // What it wrote to standard output; nothing when it could not be started or did not finish
        // in time.
        std::optional<QByteArray> output;
        int exitCode = 0;
        QByteArray error; // standard error
        // For a write or a delete that did not finish in time: whether the key's value in the domain
        // is another than before the run, as the domain is once what the ended tool left half done is
        // finished.
        std::optional<bool> changedWhenEnded;
    };
    // Runs the tool with exactly these arguments and waits for it, at most `limit`; then it is ended.
    static Run run(const QStringList &arguments, std::chrono::milliseconds limit);
};

} // namespace Platform
