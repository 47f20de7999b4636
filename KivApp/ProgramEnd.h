#pragma once

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDeadlineTimer>
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

// The one way the program ends, whoever asks: the Quit command, SIGTERM, SIGINT or SIGHUP (what a
// session's end, a shutdown or `kill` sends), the session manager's end, or the session bus going
// away. The end runs in the event loop: it waits for the work that stores the user's data (a restore
// that was confirmed, the merges, the new profiles of scripts), then ends the event loop; the program
// stores what waits last of all (finishing()). The end never asks anybody anything, and it is
// bounded: past `bound` from its beginning it waits for nothing more.
//
// The toolkit ends the process itself when its connection to the X display breaks (a logout may end
// the X server before the program): what the end must store does not need the display, and the
// program finishes then, without the event loop (followDisplay()).
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
    // quit of the application.
    void followSessionManager();
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
    QList<int> m_caughtSignals;
    QDeadlineTimer m_deadline;
    QTimer m_boundTimer;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
};

} // namespace KivApp
