#include "Tapestrel/automation/CommandLineClient.h"

#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/automation/VisibleText.h"
#include "Tapestrel/model/UnreadableStore.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString applyCommand = QStringLiteral("apply");
const QString createCommand = QStringLiteral("create");
const QString listCommand = QStringLiteral("list");
const QString focusCommand = QStringLiteral("focus");
const QString showProfileOption = QStringLiteral("--show-profile");
const QStringList helpOptions = {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("help")};

QString tr(const char *text)
{
    return QCoreApplication::translate("CommandLineClient", text);
}

// A new file of this user's own for a started program's log: in the user's runtime folder, or else in
// the temporary folder, which others write to as well. Its name cannot be guessed, and it is made
// here, so no file or link someone put in its place beforehand is written through. Empty when none
// could be made; the descriptor is -1 then.
QString makeLogFile(int &descriptor)
{
    QByteArray path = QFile::encodeName(
        QDir(CommandLineClient::startLogFolder()).filePath(QStringLiteral("tapestrel-start-XXXXXX.log")));
    // Made with O_CREAT | O_EXCL and mode 0600: a link at the name fails the making, it is never followed.
    descriptor = ::mkostemps(path.data(), 4, O_CLOEXEC);
    return descriptor < 0 ? QString() : QFile::decodeName(path);
}

// Starts this executable again, in a session of its own, for good: it reads nothing (standard input is
// /dev/null), writes only into its log (or nowhere), and holds no other descriptor of this process.
// A script reading this command's output through a pipe sees it end with the command, not with the
// program.
bool startProgram(CommandLineClient::StartedProgram &started)
{
    int log = -1;
    started.errorFile = makeLogFile(log);
    const auto closeLog = qScopeGuard([log] {
        if (log >= 0)
            ::close(log);
    });
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    const QByteArray noWindow = CommandLineClient::noWindowOption.toLatin1();
    char *const arguments[] = {const_cast<char *>(program.constData()),
                               const_cast<char *>(noWindow.constData()), nullptr};
    QByteArray marker = QByteArray(UnreadableStore::startedByCommandLineVariable) + "=1";
    std::vector<char *> environment {marker.data()};
    for (char **variable = environ; *variable; ++variable)
        environment.push_back(*variable);
    environment.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    const auto release = qScopeGuard([&] {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    });
    // The log first: were it made as descriptor 0, 1 or 2 (this process started with one closed), the
    // opening of /dev/null would otherwise close it.
    if (log >= 0) {
        posix_spawn_file_actions_adddup2(&actions, log, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, log, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    // Not ended by a hang-up or an interrupt of the terminal this command ran in.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    pid_t processId = 0;
    if (::posix_spawn(&processId, program.constData(), &actions, &attributes, arguments, environment.data())
        != 0)
        return false;
    started.processId = processId;
    return true;
}

// Whether the process still runs; a zombie has ended.
bool isRunning(qint64 processId)
{
    if (::kill(pid_t(processId), 0) != 0)
        return errno == EPERM;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(')');
    return end < 0 || line.mid(end + 2, 1) != "Z";
}

// That a started program ended before it answered, with its reason on the same line when that has
// one line, or on lines of their own.
QString endedBeforeAnswering(const QStringList &reason)
{
    if (reason.isEmpty())
        return tr("Tapestrel ended before it could answer.");
    if (reason.size() == 1)
        return tr("Tapestrel ended before it could answer: %1").arg(reason.first());
    return tr("Tapestrel ended before it could answer:") + QStringLiteral("\n  ")
        + reason.join(QStringLiteral("\n  "));
}

// Whether a program with windows can start here: Qt's platform plug-ins other than the windowing
// systems need none.
bool canShowWindows()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

const QString CommandLineClient::noWindowOption = QStringLiteral("--no-window");

QStringList CommandLineClient::reasonForEnding(const QString &logPath)
{
    if (logPath.isEmpty())
        return {};
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The end tells what ended the program, the first line often what started the trouble; a log that
    // grew large says nothing more in between.
    constexpr qint64 part = 4096;
    constexpr qsizetype lastLines = 5;
    const qint64 size = file.size();
    const QByteArray head = file.read(part);
    file.seek(std::max<qint64>(0, size - part));
    QList<QByteArray> lines = file.read(part).split('\n');
    if (size > part)
        lines.removeFirst(); // cut in the middle
    const QByteArray prefix = "tapestrel: ";
    QStringList reason;
    qsizetype written = 0;
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        // What the program said for the command line is the whole reason. It composed that line itself.
        if (line->startsWith(prefix))
            return {visibleInMessage(QString::fromLocal8Bit(line->mid(prefix.size()).trimmed()))};
        if (line->trimmed().isEmpty())
            continue;
        if (++written <= lastLines)
            reason.prepend(visibleControls(QString::fromLocal8Bit(line->trimmed())));
    }
    if (size <= part && written <= lastLines)
        return reason;
    for (const QByteArray &line : head.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        // Lines left out between the first and the last ones are marked.
        if (size > part || written > lastLines + 1)
            reason.prepend(QStringLiteral("…"));
        reason.prepend(visibleControls(QString::fromLocal8Bit(line.trimmed())));
        break;
    }
    return reason;
}

QString CommandLineClient::startLogFolder()
{
    // A runtime folder that is missing, no folder or someone else's is no place for this user's log.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    struct stat info
    {
    };
    if (!runtime.isEmpty() && ::stat(QFile::encodeName(runtime).constData(), &info) == 0
        && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid())
        return runtime;
    return QDir::tempPath();
}

std::optional<int> CommandLineClient::run(int argc, char **argv)
{
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    if (startsProgram(arguments))
        return std::nullopt;
    std::unique_ptr<QCoreApplication> application;
    if (!QCoreApplication::instance())
        application = std::make_unique<QCoreApplication>(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return CommandLineClient(QDBusConnection::sessionBus()).execute(arguments, out, err);
}

bool CommandLineClient::isCommand(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return false;
    const QString &first = arguments.first();
    return first == applyCommand || first == createCommand || first == listCommand || first == focusCommand
        || first == showProfileOption;
}

bool CommandLineClient::startsProgram(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return true;
    const QString &first = arguments.first();
    // Qt's own options ("-platform xcb", "-style fusion") have one dash.
    return first == noWindowOption
        || (first.size() > 1 && first.startsWith(u'-') && !first.startsWith(QStringLiteral("--"))
            && !helpOptions.contains(first));
}

CommandLineClient::CommandLineClient(QDBusConnection connection)
    : m_connection(std::move(connection))
    , m_service(AutomationService::serviceName)
    , m_launcher([started = m_started] { return startProgram(*started); })
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

QString CommandLineClient::usage()
{
    return tr("Usage: tapestrel [<command>]\n"
              "Without a command Tapestrel starts, or the running Tapestrel shows its window.\n"
              "\n"
              "  apply <id or name>     Apply a profile.\n"
              "  create <name>          Create a profile from the current settings; prints its id.\n"
              "  list [--json]          List the profiles' ids and names.\n"
              "  focus [<id>]           Apply a profile for a focus mode (none: the last applied one).\n"
              "  --show-profile <id>    Show a profile in the main window.\n"
              "  --no-window            Start without opening the main window.\n"
              "  --help                 Show this help.");
}

QDBusMessage CommandLineClient::watchedCall(const QDBusMessage &call, const QDeadlineTimer &deadline) const
{
    // The answer is waited for here, and so is the connection's close (the session ended): a close ends
    // the wait at once, whatever the toolkit makes of the call then.
    QEventLoop loop;
    const QString local = QStringLiteral("/org/freedesktop/DBus/Local");
    const QString localInterface = QStringLiteral("org.freedesktop.DBus.Local");
    const QString disconnected = QStringLiteral("Disconnected");
    QDBusConnection connection(m_connection);
    connection.connect(QString(), local, localInterface, disconnected, &loop, SLOT(quit()));
    const auto forget = qScopeGuard(
        [&] { connection.disconnect(QString(), local, localInterface, disconnected, &loop, SLOT(quit())); });
    if (!connection.isConnected())
        return call.createErrorReply(QDBusError::Disconnected, QString());
    // Without a deadline, as long as the program may take: it answers every request it takes.
    const QDBusPendingCall pending = connection.asyncCall(
        call,
        deadline.isForever() ? std::numeric_limits<int>::max()
                             : int(std::clamp<qint64>(deadline.remainingTime(), 1, INT_MAX)));
    // At the deadline the call itself finishes, with NoReply.
    QDBusPendingCallWatcher watcher(pending);
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished() && connection.isConnected())
        loop.exec();
    if (pending.isFinished())
        return pending.reply();
    return call.createErrorReply(QDBusError::Disconnected, QString());
}

std::optional<bool> CommandLineClient::isProgramOnBus(const QDeadlineTimer &deadline) const
{
    const QDBusMessage reply =
        watchedCall(QDBusMessage::createMethodCall(
                        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"))
                        << m_service,
                    deadline);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply.arguments().value(0).toBool();
}

bool CommandLineClient::ensureRunning(QTextStream &err, const QDeadlineTimer &deadline)
{
    const auto busGone = [&] {
        err << "tapestrel: " << tr("There is no session bus: %1").arg(m_connection.lastError().message())
            << Qt::endl;
        return false;
    };
    if (!m_connection.isConnected())
        return busGone();
    // The bus answers at once; one that does not is as good as none.
    const auto onBus = [this] {
        return isProgramOnBus(QDeadlineTimer(10000));
    };
    std::optional<bool> running = onBus();
    if (!running)
        return busGone();
    if (*running)
        return true;
    if (!canShowWindows()) {
        err << "tapestrel: " << tr("Tapestrel is not running, and it cannot be started without a display.")
            << Qt::endl;
        return false;
    }
    if (!m_launcher || !m_launcher()) {
        err << "tapestrel: " << tr("Tapestrel could not be started.") << Qt::endl;
        return false;
    }
    QDeadlineTimer started(m_startTimeout);
    while (!started.hasExpired() && !deadline.hasExpired()) {
        running = onBus();
        if (!running)
            return busGone();
        if (*running)
            return true;
        if (m_started->processId > 0 && !isRunning(m_started->processId)) {
            // A program that found another one starting at the same time hands over to it and ends.
            if (onBus().value_or(false))
                return true;
            err << "tapestrel: " << endedBeforeAnswering(reasonForEnding(m_started->errorFile)) << Qt::endl;
            return false;
        }
        // The request waits on this: a start takes a tenth of a second or more, and each look costs
        // one short call on the bus.
        QThread::msleep(10);
    }
    if (onBus().value_or(false))
        return true;
    err << "tapestrel: " << tr("Tapestrel was started but did not answer in time.") << Qt::endl;
    return false;
}

bool CommandLineClient::programEnded(const QDeadlineTimer &deadline) const
{
    // The bus answers a call whose recipient went away at once, and lets go of its name at about the
    // same time; a program that merely took too long still holds it.
    const QDeadlineTimer released(
        deadline.isForever() ? 1000 : std::min<qint64>(1000, std::max<qint64>(deadline.remainingTime(), 0)));
    do {
        if (!isProgramOnBus(QDeadlineTimer(1000)).value_or(false))
            return true;
        QThread::msleep(10);
    } while (!released.hasExpired());
    return false;
}

int CommandLineClient::execute(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    QString method;
    QVariantList callArguments;
    bool json = false;
    if ((command == applyCommand || command == createCommand || command == showProfileOption)
        && rest.size() == 1) {
        method = command == applyCommand ? QStringLiteral("ApplyProfile")
            : command == createCommand   ? QStringLiteral("CreateProfile")
                                         : QStringLiteral("ShowProfile");
        callArguments = {rest.first()};
    } else if (command == listCommand && (rest.isEmpty() || rest == QStringList {QStringLiteral("--json")})) {
        method = QStringLiteral("ListProfiles");
        json = !rest.isEmpty();
    } else if (command == focusCommand && rest.size() <= 1) {
        method = QStringLiteral("FocusChanged");
        callArguments = {rest.value(0)};
    } else if (helpOptions.contains(command) && rest.isEmpty()) {
        out << usage() << Qt::endl;
        return success;
    } else {
        if (!isCommand(arguments))
            err << "tapestrel: " << tr("Unknown command “%1”.").arg(shownInMessage(command)) << Qt::endl;
        err << usage() << Qt::endl;
        return usageError;
    }

    const QDeadlineTimer deadline(m_timeout);
    // The log of a program started here stays until the answer, as it says why the program ended;
    // the program keeps writing to the file it has open, and nobody needs its name after that.
    const auto forgetLog = qScopeGuard([this] {
        if (!m_started->errorFile.isEmpty())
            QFile::remove(m_started->errorFile);
    });
    if (!ensureRunning(err, deadline))
        return failure;
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, AutomationService::objectPath,
                                                       AutomationService::interfaceName, method);
    call.setArguments(callArguments);
    const QDBusMessage reply = watchedCall(call, deadline);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        const bool noReply = reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply");
        if (reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.Disconnected")) {
            err << "tapestrel: "
                << tr("The session bus went away before Tapestrel answered; the request may not have been "
                      "carried out.")
                << Qt::endl;
        } else if (noReply && !deadline.hasExpired() && programEnded(deadline)) {
            err << "tapestrel: " << endedBeforeAnswering(reasonForEnding(m_started->errorFile)) << Qt::endl;
        } else if (noReply || deadline.hasExpired()) {
            err << "tapestrel: "
                << (m_timeout < 0
                        ? tr("Tapestrel did not answer; the request may still be carried out.")
                        : tr("Tapestrel did not answer within %1 s; the request may still be carried out.")
                              .arg((m_timeout + 999) / 1000))
                << Qt::endl;
        } else {
            // The message's own lines stay lines; whatever else it repeats is shown, never obeyed.
            QStringList lines = reply.errorMessage().split(u'\n');
            for (QString &line : lines)
                line = visibleInMessage(line);
            err << "tapestrel: " << lines.join(u'\n') << Qt::endl;
        }
        return failure;
    }

    if (method == QStringLiteral("CreateProfile")) {
        const QVariantMap created = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        out << visibleControls(created.value(QStringLiteral("id")).toString()) << '\t'
            << visibleControls(created.value(QStringLiteral("name")).toString()) << Qt::endl;
    } else if (method == QStringLiteral("ListProfiles")) {
        const auto profiles = qdbus_cast<QList<QVariantMap>>(reply.arguments().value(0));
        if (json) {
            QJsonArray array;
            for (const QVariantMap &profile : profiles) {
                array.append(
                    QJsonObject {{QStringLiteral("id"), profile.value(QStringLiteral("id")).toString()},
                                 {QStringLiteral("name"), profile.value(QStringLiteral("name")).toString()}});
            }
            out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)) << Qt::endl;
        } else {
            for (const QVariantMap &profile : profiles) {
                out << visibleControls(profile.value(QStringLiteral("id")).toString()) << '\t'
                    << visibleControls(profile.value(QStringLiteral("name")).toString()) << Qt::endl;
            }
        }
    }
    return success;
}
