#pragma once

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QEvent>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace KivApp {

// The one way the program ends, whoever asks. Each way of ending, and what it does:
//
//   way                                    asks first       then
//   Quit (the menu, the last window)       whoever filters  the end
//   SIGTERM, SIGINT, SIGHUP (a session's   no               the end; a signal the program was started
//     end, a shutdown, `kill`)                                with ignored (`nohup`) stays ignored
//   the session manager's die              no               the end
//   the session bus going away             no               the end
//   the session manager's connection       no               the end, when it closes during the session
//     closing (or failing)                                  manager's save (a logout under way); else
//                                                           the program goes on without a session
//   the X display breaking                 no               the end, without the event loop
//   the session manager's save, of either  no               no end: waits for the work (at most `bound`)
//     kind (a checkpoint, a logout's                        and stores; it changes nothing of what a
//     first step)                                           later quit asks
//
// The end, whatever began it: at once, before any wait, the program stores what the user changed and
// what scripts made, and answers each request whose answer is true then (ending()); it waits then for
// the work that stores the user's data that is left, for at most `bound` from the beginning; it ends
// the event loop, and last, once, stores what waits and answers every request (finishing()). The end
// never asks anybody anything.
//
// The toolkit ends the process itself when its connection to the X display breaks (a logout may end
// the X server before the program): what the end must store does not need the display, and the
// program finishes then, without the event loop (followDisplay()). The session manager's library would
// end the process itself when its connection closes: the program handles that (followSessionManager()).
class ProgramEnd : public QObject
{
    Q_OBJECT

public:
    // Work the end waits for: `busy` tells whether some is running or waiting, `over` returns once it
    // has ended (it may start more of another kind: the end waits until no kind is busy). `what` names
    // the work where the end stops waiting for it ("a restore").
    struct Wait
    {
        QString what;
        std::function<bool()> busy;
        std::function<QCoro::Task<void>()> over;
    };

    explicit ProgramEnd(std::chrono::milliseconds bound = std::chrono::seconds(30),
                        QObject *parent = nullptr);
    // Gives the signals and the message handler back to what handled them before.
    ~ProgramEnd() override;
    ProgramEnd(const ProgramEnd &) = delete;
    ProgramEnd &operator=(const ProgramEnd &) = delete;

    void addWait(Wait wait);

    // SIGTERM, SIGINT and SIGHUP end the program as Quit does, except those the program was started
    // with ignored (`nohup`, a shell's background job), which stay ignored. One ProgramEnd at a time
    // catches signals.
    void catchSignals();
    // The session manager's request to save (a checkpoint, or the first step of a logout that may yet
    // be cancelled) stores what waits and leaves the program running; its end (the "die") comes as a
    // quit of the application. Its connection closing or failing never ends the process behind the
    // program's back: during a save it is the session's end, otherwise the program goes on without a
    // session. One ProgramEnd at a time follows the connection.
    void followSessionManager();
    // Whether a quit of the application may be asked about first: not the session manager's die,
    // which the window system sends and nobody may be there to answer.
    static bool mayAsk(const QEvent &quit);
    // The session manager's connection closed or failed (what followSessionManager() handles).
    static void sessionManagerGone();
    // The connection closing (the bus went away) ends the program.
    void watchBus(const QDBusConnection &connection);
    // A quit of the application (QCoreApplication::quit, after whatever filters it first) is an end
    // like the others. Installed before the filters that may refuse a quit, so that they see it first.
    void followQuits();
    // The toolkit's connection to the X display breaking finishes the program at once, without the
    // event loop, before the toolkit ends the process.
    void followDisplay();
    // All of these, as the program follows them, with `bus` as the session bus.
    void followEveryEnd(const QDBusConnection &bus);

    // Begins the end; later calls change nothing.
    void request();
    bool isEnding() const { return m_ending; }
    // The event loop has been told to end, or the program finished without it.
    bool hasEnded() const { return m_ended; }
    // By when the end is over: `bound` after it began; before it began, `bound` from now.
    QDeadlineTimer deadline() const;

    // Waits, running the event loop, until no work is busy, for at most `bound`, and then has the
    // program store what waits (storing()); the program goes on. Gives whether all work had ended.
    bool storeWhatWaits();

    // Finishes now, without the event loop: what a broken display connection does.
    void finishWithoutEventLoop();

signals:
    // The end has begun: the program ends at once the work it does not wait for.
    void ending();
    // The session manager asked to save: the work the end waits for has ended (or the bound has
    // passed), and the program stores what it has not stored yet.
    void storing();
    // Last, once: no event loop runs after this. The program stores everything not yet stored and
    // answers what it was asked, waiting for merges no longer than `deadline`.
    void finishing(QDeadlineTimer deadline);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void busDisconnected();

private:
    bool anyBusy() const;
    QStringList busyWork() const;
    QString boundText() const;
    QCoro::Task<void> waitForWork(std::shared_ptr<bool> running);
    QCoro::Task<void> finish();
    void endEventLoop();
    void finishOnce();
    static void displayMessage(QtMsgType type, const QMessageLogContext &context, const QString &text);

    std::chrono::milliseconds m_bound;
    QList<Wait> m_waits;
    bool m_ending = false;
    bool m_ended = false;
    bool m_finished = false;
    bool m_catchesSignals = false;
    // A save of the session is under way.
    bool m_saving = false;
    QList<int> m_caughtSignals;
    QDeadlineTimer m_deadline;
    QTimer m_boundTimer;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
};

} // namespace KivApp
