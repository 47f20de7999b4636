#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>

// The `tapestrel` command line for people and scripts (see usage()): apply, create and list profiles,
// apply a focus mode's profile, show a profile. Each command talks to the running program over the
// session bus and starts the program first (without its main window) when none runs. It needs no
// display of its own. It waits for an answer as long as the program may take (the program answers
// every request it takes, within bounds of its own), unless given a time-out, and ends with an error as
// soon as the program leaves the bus or its connection to the bus closes.
class CommandLineClient
{
public:
    enum ExitCode { success = 0, failure = 1, usageError = 2 };

    // Starts the program; false when it could not be started.
    using Launcher = std::function<bool()>;

    // The program the default launcher started: its process id and its log (its standard output and
    // error), so that waiting for it ends as soon as it ends, with the reason it gave.
    struct StartedProgram
    {
        qint64 processId = 0;
        QString errorFile;
    };

    // Handles the process's arguments when they name a command, ask for help or are not understood,
    // and returns the exit code; none when the program should start. Makes the Qt application object
    // it needs when there is none yet.
    static std::optional<int> run(int argc, char **argv);
    // Whether the arguments (without the program's name) name a command.
    static bool isCommand(const QStringList &arguments);
    // Whether the arguments start the program itself: none, "--no-window", or Qt's own options.
    static bool startsProgram(const QStringList &arguments);

    // The option that starts the program without opening its main window.
    static const QString noWindowOption; // "--no-window"
    // Where the log of a started program is made: the user's runtime folder, or the temporary folder
    // when there is none that is usable.
    static QString startLogFolder();
    // Why a started program ended, from its log, each line shown visibly: the last line it wrote for
    // the command line ("tapestrel: …") when there is one; or else the first line it wrote and the
    // last ones, with "…" for those left out between. Empty when the log is empty or there is none
    // (the program was running already and was not started here).
    static QStringList reasonForEnding(const QString &logPath);

    explicit CommandLineClient(QDBusConnection connection);

    // Who answers the commands; the program's bus name by default.
    void setService(const QString &service) { m_service = service; }
    // How the program is started when it does not run; by default this executable again.
    void setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }
    // How long to wait for a started program to appear on the bus.
    void setStartTimeout(int milliseconds) { m_startTimeout = milliseconds; }
    // How long a whole command may take, the start of the program included; -1 (the default): as long
    // as the program takes to answer.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

    // Runs one command (arguments without the program's name) and returns the exit code.
    int execute(const QStringList &arguments, QTextStream &out, QTextStream &err);

    // The commands, one line each.
    static QString usage();

private:
    // Sends the call and returns its answer; an error answer when the deadline passes
    // (org.freedesktop.DBus.Error.NoReply) or the connection closes (…Error.Disconnected) first.
    QDBusMessage watchedCall(const QDBusMessage &call, const QDeadlineTimer &deadline) const;
    // Whether the program holds its name on the bus; none when the bus did not answer.
    std::optional<bool> isProgramOnBus(const QDeadlineTimer &deadline) const;
    bool ensureRunning(QTextStream &err, const QDeadlineTimer &deadline);
    // Whether the program that took the request has ended, rather than being slow to answer.
    bool programEnded(const QDeadlineTimer &deadline) const;

    QDBusConnection m_connection;
    QString m_service;
    std::shared_ptr<StartedProgram> m_started = std::make_shared<StartedProgram>();
    Launcher m_launcher;
    int m_startTimeout = 30 * 1000;
    int m_timeout = -1;
};
