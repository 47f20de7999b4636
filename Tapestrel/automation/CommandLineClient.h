#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>

// The `tapestrel` command line for people and scripts:
//   tapestrel apply <id>         apply a profile
//   tapestrel create <name>      create a profile from the current settings
//   tapestrel list [--json]      list the profiles
//   tapestrel focus [<id>]       apply a profile for a focus mode (none: the last applied one)
//   tapestrel --show-profile <id> show a profile in the main window
// Each command talks to the running program over the session bus and starts the program first
// when none runs.
class CommandLineClient
{
public:
    enum ExitCode { success = 0, failure = 1, usageError = 2 };

    // Starts the program; false when it could not be started.
    using Launcher = std::function<bool()>;

    // The program the default launcher started: its process id and where its standard error goes,
    // so that waiting for it ends as soon as it ends, with the reason it gave.
    struct StartedProgram
    {
        qint64 processId = 0;
        QString errorFile;
    };

    // Handles the process's arguments when they name a command and returns the exit code; none
    // when the program should start normally. Makes the Qt application object it needs when there
    // is none yet.
    static std::optional<int> run(int argc, char **argv);
    // Whether the arguments (without the program's name) name a command.
    static bool isCommand(const QStringList &arguments);

    explicit CommandLineClient(QDBusConnection connection);

    // Who answers the commands; the program's bus name by default.
    void setService(const QString &service) { m_service = service; }
    // How the program is started when it does not run; by default this executable again.
    void setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }
    // How long to wait for a started program to appear on the bus.
    void setStartTimeout(int milliseconds) { m_startTimeout = milliseconds; }

    // Runs one command (arguments without the program's name) and returns the exit code.
    int execute(const QStringList &arguments, QTextStream &out, QTextStream &err);

    static QString usage();

private:
    bool ensureRunning(QTextStream &err);

    QDBusConnection m_connection;
    QString m_service;
    std::shared_ptr<StartedProgram> m_started = std::make_shared<StartedProgram>();
    Launcher m_launcher;
    int m_startTimeout = 30 * 1000;
};
