#include "KivApp/ProgramEnd.h"

#include "KivUtilities/Detached.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

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

} // namespace

ProgramEnd::ProgramEnd(std::chrono::milliseconds bound, QObject *parent)
    : QObject(parent)
    , m_bound(bound)
{
    m_boundTimer.setSingleShot(true);
    connect(&m_boundTimer, &QTimer::timeout, this, [this] {
        qWarning("Tapestrel ends before all of its work was done: it took longer than %lld seconds.",
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(m_bound).count()));
        endEventLoop();
    });
}

ProgramEnd::~ProgramEnd()
{
    if (!m_catchesSignals)
        return;
    for (std::size_t index = 0; index < endingSignals.size(); ++index)
        ::sigaction(endingSignals[index], &s_previous[index], nullptr);
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
    for (std::size_t index = 0; index < endingSignals.size(); ++index)
        ::sigaction(endingSignals[index], &action, &s_previous[index]);
}

void ProgramEnd::followSessionManager()
{
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(application, &QGuiApplication::commitDataRequest, this, &ProgramEnd::request);
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

bool ProgramEnd::eventFilter(QObject *watched, QEvent *event)
{
    // A quit that waits for nothing goes on as it came.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && !m_ended && anyBusy()) {
        request();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool ProgramEnd::anyBusy() const
{
    return std::any_of(m_waits.cbegin(), m_waits.cend(), [](const Wait &wait) { return wait.busy(); });
}

void ProgramEnd::request()
{
    if (m_ending)
        return;
    m_ending = true;
    emit ending();
    m_boundTimer.start(m_bound);
    KivUtilities::detached(finish(), "ProgramEnd::finish");
}

QCoro::Task<void> ProgramEnd::finish()
{
    QPointer<ProgramEnd> self(this);
    // Each kind may bring more of another (a restore's merge, a script's save after it): the end comes
    // once none is busy.
    while (self && !self->m_ended && self->anyBusy()) {
        for (const Wait &wait : QList(self->m_waits)) {
            if (!self || self->m_ended)
                co_return;
            if (wait.busy())
                co_await wait.over();
        }
    }
    if (self)
        self->endEventLoop();
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

} // namespace KivApp
