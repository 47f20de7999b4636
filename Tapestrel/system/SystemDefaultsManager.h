#pragma once

#include "platform/DefaultsTool.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>

// A value that could not be written into another domain; what() is a sentence that names the key
// and says why.
class DefaultsWriteError : public std::runtime_error
{
public:
    explicit DefaultsWriteError(const QString &message);
};

// Reads and changes user defaults that are not the program's own: the global domain and the domains
// of the system and of other applications. Single values are written, and other domains' values read
// as text, by the defaults tool run as a child process with an argument list handed over as separate
// arguments (nothing is quoted or joined); Booleans are read, and arrays written, through the
// domain's store in this process. Nothing is cached. A read that fails reads as an absent value; a
// write that fails throws DefaultsWriteError, so that the option that asked for it can say so.
//
// An absent domain means the global domain ("-g") for writes and the program's own defaults (whose
// search list covers the global domain) for reads.
//
// Calls block until the tool has exited (at most toolTimeout) or the store has answered.
class SystemDefaultsManager
{
public:
    // What one run of the tool came to.
    using ToolRun = Platform::DefaultsTool::Run;

    // Starts the tool. Tests hand in a recording runner.
    class ToolRunner
    {
    public:
        virtual ~ToolRunner() = default;
        // Runs the tool with exactly these arguments and waits for it. Its standard error never
        // reaches the program's own.
        virtual ToolRun run(const QStringList &arguments) = 0;
    };

    static constexpr std::chrono::milliseconds toolTimeout {10000};

    SystemDefaultsManager();
    explicit SystemDefaultsManager(std::shared_ptr<ToolRunner> runner);

    // The tool's standard output as UTF-8 text with white space trimmed from both ends; the empty
    // text when it printed nothing; nothing when it could not run or printed something that is not
    // UTF-8. Its exit status is not looked at.
    std::optional<QString> run(const QStringList &arguments) const;
    // Runs the tool ("write" or "delete") and waits for it. Throws DefaultsWriteError when the tool
    // could not run or refused, and when it was ended at the time limit (saying whether it had changed
    // the value); a "delete" of a key the domain does not hold is no failure.
    void write(const QStringList &arguments) const;

    // With a domain: the tool's "read" of the key as text (the empty text when the key or the domain
    // does not exist). Without: the program's own defaults' text value, nothing when the key has none.
    std::optional<QString> readString(const std::optional<QString> &domain, const QString &key) const;
    // The store's Boolean reading of the key's value of any type; nothing when the domain cannot be
    // opened or the key has no value.
    std::optional<bool> readBool(const std::optional<QString> &domain, const QString &key) const;

    void writeString(const std::optional<QString> &domain, const QString &key, const QString &value) const;
    void writeBool(const std::optional<QString> &domain, const QString &key, bool value) const;
    // Replaces the key's whole value in the domain's store and synchronises it; never starts the tool.
    // Throws DefaultsWriteError when the domain cannot be written.
    void writeArray(const QString &domain, const QString &key, const QVariantList &array) const;

private:
    std::shared_ptr<ToolRunner> m_runner;
};
