#pragma once

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace KivApp {

// The one way the program ends, whoever asks: the Quit command, SIGTERM, SIGINT or SIGHUP (what a
// session's end, a shutdown or `kill` sends), the session manager, or the session bus going away. The
// end runs in the event loop: it waits for the work that was taken and must not be lost (a restore
// that was confirmed, the merges, the requests of scripts), then ends the event loop, so that what is
// stored at quitting (QCoreApplication::aboutToQuit) is stored after that work. The work is bounded;
// the end waits for it at most `bound`, and never asks anybody anything.
class ProgramEnd : public QObject
{
    Q_OBJECT

public:
    // Work the end waits for: `busy` tells whether some is running or waiting, `over` returns once it
    // has ended (it may start more of another kind: the end waits until no kind is busy).
    struct Wait
    {
        std::function<bool()> busy;
        std::function<QCoro::Task<void>()> over;
    };

    explicit ProgramEnd(std::chrono::milliseconds bound = std::chrono::seconds(30),
                        QObject *parent = nullptr);
    // Gives the signals back to what handled them before.
    ~ProgramEnd() override;
    ProgramEnd(const ProgramEnd &) = delete;
    ProgramEnd &operator=(const ProgramEnd &) = delete;

    void addWait(Wait wait);

    // SIGTERM, SIGINT and SIGHUP end the program as Quit does. One ProgramEnd at a time does this.
    void catchSignals();
    // The session manager's request to save before the session ends ends the program.
    void followSessionManager();
    // The connection closing (the bus went away) ends the program.
    void watchBus(const QDBusConnection &connection);
    // A quit of the application (QCoreApplication::quit, after whatever filters it first) waits for the
    // work as the other ends do. Installed before the filters that may refuse a quit, so that they see
    // it first.
    void followQuits();

    // Begins the end; later calls change nothing.
    void request();
    bool isEnding() const { return m_ending; }
    // The event loop has been told to end.
    bool hasEnded() const { return m_ended; }

signals:
    // The end has begun.
    void ending();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void busDisconnected();

private:
    bool anyBusy() const;
    QCoro::Task<void> finish();
    void endEventLoop();

    std::chrono::milliseconds m_bound;
    QList<Wait> m_waits;
    bool m_ending = false;
    bool m_ended = false;
    bool m_catchesSignals = false;
    QTimer m_boundTimer;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
};

} // namespace KivApp
