#include "KivApp/ProgramEnd.h"

#include "KivUtilities/Detached.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScopedValueRollback>
#include <QThread>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <X11/ICE/ICElib.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace KivApp {

namespace {

constexpr std::array endingSignals {SIGTERM, SIGINT, SIGHUP};

// What the handler writes to, and what it replaced. The handler may only do what is safe in a signal
// handler: it writes one byte, which the event loop reads.
int s_signalSockets[2] = {-1, -1};
struct sigaction s_previous[endingSignals.size()];

extern "C" void signalArrived(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    // A full socket already holds a byte that ends the program.
    [[maybe_unused]] const ssize_t written = ::write(s_signalSockets[0], &byte, 1);
    errno = savedErrno;
}

// The end that follows the display, and the message handler it put in front of.
ProgramEnd *s_displayFollower = nullptr;
QtMessageHandler s_previousHandler = nullptr;

// What the toolkit says just before it ends the process when its X connection broke.
const QLatin1String displayBroke("The X11 connection broke");

// The end that follows the session manager's connection, and the handlers it put in place of the ICE
// library's, which end the process.
ProgramEnd *s_sessionFollower = nullptr;
IceIOErrorHandler s_previousIOErrorHandler = nullptr;
IceErrorHandler s_previousErrorHandler = nullptr;
// What the connection's descriptor reads from once it has failed: never anything (its other end is
// kept open), so that the toolkit's watch on it rests.
int s_silence[2] = {-1, -1};

// The connection cannot be used any more: its descriptor is made one that never has anything to read,
// as the toolkit goes on watching it (and the library closes it at the end).
void silence(IceConn connection)
{
    const int descriptor = IceConnectionNumber(connection);
    if (descriptor < 0)
        return;
    if (s_silence[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_silence) != 0)
        return;
    ::dup3(s_silence[0], descriptor, O_CLOEXEC);
}

extern "C" void sessionConnectionFailed(IceConn connection)
{
    silence(connection);
    ProgramEnd::sessionManagerGone();
}

extern "C" void sessionConnectionError(IceConn connection, Bool, int, unsigned long, int errorClass,
                                       int severity, IcePointer)
{
    if (severity == IceCanContinue) {
        qWarning("The session manager's connection reported an error (%d); Tapestrel goes on.", errorClass);
        return;
    }
    qWarning("The session manager's connection failed (error %d).", errorClass);
    silence(connection);
    ProgramEnd::sessionManagerGone();
}

} // namespace

ProgramEnd::ProgramEnd(std::chrono::milliseconds bound, QObject *parent)
    : QObject(parent)
    , m_bound(bound)
{
    m_boundTimer.setSingleShot(true);
    m_boundTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_boundTimer, &QTimer::timeout, this, [this] {
        // Past the bound nothing is waited for any more, whatever the timer's grain.
        m_deadline = QDeadlineTimer(0);
        qWarning("Tapestrel ends %s after it was asked to, before all of its work was done; still under "
                 "way: %s.",
                 qPrintable(boundText()), qPrintable(busyWork().join(QStringLiteral(", "))));
        endEventLoop();
    });
    // However the event loop ended (this end, or a quit that went past it), the program stores last.
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &ProgramEnd::finishOnce);
}

ProgramEnd::~ProgramEnd()
{
    if (s_sessionFollower == this) {
        IceSetIOErrorHandler(s_previousIOErrorHandler);
        IceSetErrorHandler(s_previousErrorHandler);
        s_sessionFollower = nullptr;
    }
    if (s_displayFollower == this) {
        qInstallMessageHandler(s_previousHandler);
        s_displayFollower = nullptr;
    }
    if (!m_catchesSignals)
        return;
    for (std::size_t index = 0; index < endingSignals.size(); ++index) {
        if (m_caughtSignals.contains(endingSignals[index]))
            ::sigaction(endingSignals[index], &s_previous[index], nullptr);
    }
    m_signalNotifier.reset();
    for (int &socket : s_signalSockets) {
        ::close(socket);
        socket = -1;
    }
}

void ProgramEnd::addWait(Wait wait)
{
    m_waits.append(std::move(wait));
}

void ProgramEnd::catchSignals()
{
    if (m_catchesSignals || s_signalSockets[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, s_signalSockets) != 0) {
        qWarning("Signals end the program at once: no socket for them (%s).", strerror(errno));
        return;
    }
    m_catchesSignals = true;
    m_signalNotifier = std::make_unique<QSocketNotifier>(s_signalSockets[1], QSocketNotifier::Read);
    connect(m_signalNotifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(s_signalSockets[1], bytes, sizeof bytes) > 0) { }
        request();
    });
    struct sigaction action = {};
    action.sa_handler = &signalArrived;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t index = 0; index < endingSignals.size(); ++index) {
        // Whoever started the program ignoring a signal (nohup, a shell's background job) wants it to
        // outlive what sends it.
        if (::sigaction(endingSignals[index], nullptr, &s_previous[index]) == 0
            && s_previous[index].sa_handler == SIG_IGN)
            continue;
        if (::sigaction(endingSignals[index], &action, &s_previous[index]) == 0)
            m_caughtSignals.append(endingSignals[index]);
    }
}

void ProgramEnd::followSessionManager()
{
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!application)
        return;
    // Both kinds of save: a logout's save may be of the session's state alone, and the manager may
    // end the program right after it.
    connect(application, &QGuiApplication::commitDataRequest, this, [this] { storeWhatWaits(); });
    connect(application, &QGuiApplication::saveStateRequest, this, [this] { storeWhatWaits(); });
    if (s_sessionFollower)
        return;
    s_sessionFollower = this;
    // The library's own handlers end the process (exit()) when the connection closes or fails.
    s_previousIOErrorHandler = IceSetIOErrorHandler(&sessionConnectionFailed);
    s_previousErrorHandler = IceSetErrorHandler(&sessionConnectionError);
}

void ProgramEnd::sessionManagerGone()
{
    ProgramEnd *end = s_sessionFollower;
    if (!end || end->m_ending)
        return;
    // A logout under way: the manager went before it said "die", which it meant.
    if (end->m_saving) {
        end->request();
        return;
    }
    qWarning("The session manager went away; Tapestrel goes on without a session.");
}

bool ProgramEnd::mayAsk(const QEvent &quit)
{
    // The window system's own quit is the session manager's die; a quit of the program's is not.
    return !quit.spontaneous();
}

void ProgramEnd::watchBus(const QDBusConnection &connection)
{
    if (!connection.isConnected())
        return;
    // The connection's own signal when it closes; it comes from no bus and cannot be sent by another.
    QDBusConnection(connection)
        .connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                 QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                 SLOT(busDisconnected()));
}

void ProgramEnd::busDisconnected()
{
    request();
}

void ProgramEnd::followQuits()
{
    QCoreApplication::instance()->installEventFilter(this);
}

void ProgramEnd::followDisplay()
{
    if (s_displayFollower)
        return;
    s_displayFollower = this;
    s_previousHandler = qInstallMessageHandler(&ProgramEnd::displayMessage);
}

void ProgramEnd::followEveryEnd(const QDBusConnection &bus)
{
    catchSignals();
    followSessionManager();
    watchBus(bus);
    followQuits();
    followDisplay();
}

void ProgramEnd::displayMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    // The toolkit says so on the thread of the windows and ends the process right after. The program
    // is finished first, on that thread: nothing it stores or answers needs the display.
    if (ProgramEnd *end = s_displayFollower;
        end && text.startsWith(displayBroke) && QThread::currentThread() == end->thread())
        end->finishWithoutEventLoop();
    if (s_previousHandler)
        s_previousHandler(type, context, text);
    else
        qt_message_output(type, context, text);
}

bool ProgramEnd::eventFilter(QObject *watched, QEvent *event)
{
    // Every quit is an end: the work that was taken is waited for, what is not waited for is ended.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && !m_ended) {
        request();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool ProgramEnd::anyBusy() const
{
    return std::any_of(m_waits.cbegin(), m_waits.cend(), [](const Wait &wait) { return wait.busy(); });
}

QStringList ProgramEnd::busyWork() const
{
    QStringList busy;
    for (const Wait &wait : m_waits) {
        if (wait.busy())
            busy.append(wait.what);
    }
    return busy;
}

QString ProgramEnd::boundText() const
{
    const auto seconds = std::chrono::duration<double>(m_bound).count();
    return QStringLiteral("%1 s").arg(seconds, 0, 'g', 3);
}

QDeadlineTimer ProgramEnd::deadline() const
{
    return m_ending ? m_deadline : QDeadlineTimer(m_bound);
}

void ProgramEnd::request()
{
    if (m_ending)
        return;
    m_ending = true;
    m_deadline = QDeadlineTimer(m_bound);
    m_boundTimer.start(m_bound);
    emit ending();
    KivUtilities::detached(finish(), "ProgramEnd::finish");
}

QCoro::Task<void> ProgramEnd::waitForWork(std::shared_ptr<bool> running)
{
    QPointer<ProgramEnd> self(this);
    // Each kind may bring more of another (a restore's merge, a script's save after it): the work is
    // over once none is busy.
    while (self && *running && self->anyBusy()) {
        for (const Wait &wait : QList(self->m_waits)) {
            if (!self || !*running)
                co_return;
            if (wait.busy())
                co_await wait.over();
        }
    }
}

QCoro::Task<void> ProgramEnd::finish()
{
    QPointer<ProgramEnd> self(this);
    co_await waitForWork(std::make_shared<bool>(true));
    if (self)
        self->endEventLoop();
}

bool ProgramEnd::storeWhatWaits()
{
    const QScopedValueRollback saving(m_saving, true);
    // An end under way stores all of it anyway.
    if (!m_ending && anyBusy()) {
        QEventLoop loop;
        QPointer<QEventLoop> waiting(&loop);
        const auto running = std::make_shared<bool>(true);
        QTimer bound;
        bound.setSingleShot(true);
        connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        bound.start(m_bound);
        // The wait may outlast this call (the bound passed): it then stops at its next step.
        KivUtilities::detached(
            [](QCoro::Task<void> work, QPointer<QEventLoop> loop) -> QCoro::Task<void> {
                co_await std::move(work);
                if (loop)
                    loop->quit();
            }(waitForWork(running), waiting),
            "ProgramEnd::storeWhatWaits");
        // An end that comes meanwhile ends this loop too.
        if (anyBusy())
            loop.exec();
        *running = false;
        if (!m_ending && anyBusy())
            qWarning("Tapestrel saved for the session after %s, before all of its work was done; still "
                     "under way: %s.",
                     qPrintable(boundText()), qPrintable(busyWork().join(QStringLiteral(", "))));
    }
    if (!m_ending)
        emit storing();
    return !anyBusy();
}

void ProgramEnd::endEventLoop()
{
    if (m_ended)
        return;
    m_ended = true;
    m_boundTimer.stop();
    // Not QCoreApplication::quit(): nobody is asked whether to quit (a session ends, or Quit was
    // confirmed already).
    QCoreApplication::exit(0);
}

void ProgramEnd::finishWithoutEventLoop()
{
    if (!m_ending) {
        m_ending = true;
        m_deadline = QDeadlineTimer(m_bound);
        emit ending();
    }
    m_ended = true;
    m_boundTimer.stop();
    finishOnce();
}

void ProgramEnd::finishOnce()
{
    if (m_finished)
        return;
    m_finished = true;
    emit finishing(deadline());
}

} // namespace KivApp
