#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <chrono>
#include <memory>
#include <optional>

// Reads and changes user defaults that are not the program's own: the global domain and the domains
// of the system and of other applications. Single values are written, and other domains' values read
// as text, by the defaults tool run as a child process with an argument list handed over as separate
// arguments (nothing is quoted or joined); Booleans are read, and arrays written, through the
// domain's store in this process. Nothing is cached and nothing is thrown: a failure reads as an
// absent value.
//
// An absent domain means the global domain ("-g") for writes and the program's own defaults (whose
// search list covers the global domain) for reads.
//
// Calls block until the tool has exited (at most toolTimeout) or the store has answered.
class SystemDefaultsManager
{
public:
    // Starts the tool. Tests hand in a recording runner.
    class ToolRunner
    {
    public:
        virtual ~ToolRunner() = default;
        // Runs the tool with exactly these arguments and waits for it. With captureOutput, gives what
        // it wrote to standard output; nothing when it could not be started or did not finish in time.
        // Without, its output is dropped (a failed write is logged) and the result is only whether
        // it ran. Its standard error never reaches the program's own.
        virtual std::optional<QByteArray> run(const QStringList &arguments, bool captureOutput) = 0;
    };

    static constexpr std::chrono::milliseconds toolTimeout {10000};

    SystemDefaultsManager();
    explicit SystemDefaultsManager(std::shared_ptr<ToolRunner> runner);

    // The tool's standard output as UTF-8 text with white space trimmed from both ends; the empty
    // text when it printed nothing; nothing when it could not run or printed something that is not
    // UTF-8. Its exit status is not looked at.
    std::optional<QString> run(const QStringList &arguments) const;
    // Runs the tool and waits for it; no output is read.
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
    void writeArray(const QString &domain, const QString &key, const QVariantList &array) const;

private:
    std::shared_ptr<ToolRunner> m_runner;
};
