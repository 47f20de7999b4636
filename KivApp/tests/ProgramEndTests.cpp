#include "KivApp/ProgramEnd.h"
#include "KivUtilities/NextEmission.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/RunTask.h"
#include "testsupport/SessionSave.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

// Work the end waits for: busy until it ends, `after` from when it is started.
struct Work
{
    explicit Work(QString what)
        : name(std::move(what))
        , done(std::make_unique<QTimer>())
    {
        done->setSingleShot(true);
        QObject::connect(done.get(), &QTimer::timeout, [this] { busy = false; });
    }
    void start(std::chrono::milliseconds after)
    {
        busy = true;
        if (after.count() >= 0)
            done->start(after);
    }
    // The work ends without a word: what the end waits on goes away.
    void vanish()
    {
        busy = false;
        done.reset();
    }
    KivApp::ProgramEnd::Wait wait()
    {
        return {name, [this] { return busy; },
                [this] {
                    return KivUtilities::nextEmission(done.get(), &QTimer::timeout);
                }};
    }

    QString name;
    bool busy = false;
    std::unique_ptr<QTimer> done;
};

struct Finishing
{
    int count = 0;
    bool expired = false;
};

void recordFinishing(KivApp::ProgramEnd &end, Finishing &finishing)
{
    QObject::connect(&end, &KivApp::ProgramEnd::finishing, [&finishing](QDeadlineTimer deadline) {
        ++finishing.count;
        finishing.expired = deadline.hasExpired();
    });
}

} // namespace

// The end waits until no work is busy, however one kind brings another, and no longer than its
// bound, past which it says what is still under way; last, once, the program finishes.
TEST(ProgramEnd, WaitsUntilNoWorkIsBusyButNoLongerThanItsBound)
{
    {
        // The first kind becomes busy only when the second ends: one round over them would miss it.
        KivApp::ProgramEnd end(20s);
        Work first("the first"), second("the second");
        end.addWait(first.wait());
        end.addWait(second.wait());
        second.start(50ms);
        QObject::connect(second.done.get(), &QTimer::timeout, [&first] { first.start(50ms); });
        Finishing finishing;
        recordFinishing(end, finishing);
        end.followQuits();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        EXPECT_EQ(TestSupport::runUntilExit(10s), 0);
        EXPECT_FALSE(first.busy || second.busy);
        EXPECT_EQ(finishing.count, 1);
        EXPECT_FALSE(finishing.expired);
    }
    {
        KivApp::ProgramEnd end(300ms);
        Work endless("the endless work"), ended("the ended work");
        end.addWait(endless.wait());
        end.addWait(ended.wait());
        endless.start(-1ms);
        Finishing finishing;
        recordFinishing(end, finishing);
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(0, &end, &KivApp::ProgramEnd::request);
        const QByteArray said =
            TestSupport::standardErrorOf([] { EXPECT_EQ(TestSupport::runUntilExit(10s), 0); });
        const qint64 took = clock.elapsed();
        EXPECT_GE(took, 300);
        EXPECT_LT(took, 2300);
        EXPECT_TRUE(
            said.contains("Tapestrel ends 0.3 s after it was asked to, before all of its work was done; "
                          "still under way: the endless work.\n"))
            << said.toStdString();
        EXPECT_EQ(finishing.count, 1);
        EXPECT_TRUE(finishing.expired);
    }
}

// The session manager's save of either kind waits for the work (until it ends, or its end can no
// longer be told, at most the bound), has the program store and leaves it running.
TEST(ProgramEnd, TheSessionManagersSaveStoresAndTheProgramGoesOn)
{
    enum class Ending { after100ms, never, vanishing };
    const struct
    {
        const char *what;
        TestSupport::SessionSave kind;
        Ending ending;
    } rows[] = {
        {"a save of data and state", TestSupport::SessionSave::commitData, Ending::after100ms},
        {"a save of the state alone", TestSupport::SessionSave::saveState, Ending::after100ms},
        {"endless work", TestSupport::SessionSave::saveState, Ending::never},
        {"work whose signal goes away", TestSupport::SessionSave::commitData, Ending::vanishing},
    };
    for (const auto &[what, kind, ending] : rows) {
        SCOPED_TRACE(what);
        KivApp::ProgramEnd end(ending == Ending::never ? 300ms : 20s);
        Work work("the work");
        end.addWait(work.wait());
        work.start(ending == Ending::after100ms ? 100ms : -1ms);
        if (ending == Ending::vanishing)
            QTimer::singleShot(100ms, [&work] { work.vanish(); });
        end.followSessionManager();
        int stores = 0;
        QObject::connect(&end, &KivApp::ProgramEnd::storing, [&] {
            ++stores;
            EXPECT_EQ(work.busy, ending == Ending::never);
        });
        QElapsedTimer clock;
        clock.start();
        TestSupport::raiseSessionSave(kind);
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_EQ(stores, 1);
        EXPECT_FALSE(end.isEnding());
    }
}

// The session manager's connection going away (the library would end the process) is the session's
// end during its save, a logout under way; at any other time the program goes on without a session.
TEST(ProgramEnd, TheSessionManagerGoingAwayEndsTheProgramOnlyDuringItsSave)
{
    KivApp::ProgramEnd end(20s);
    end.followSessionManager();
    KivApp::ProgramEnd::sessionManagerGone();
    EXPECT_FALSE(end.isEnding());
    Work work("the work");
    end.addWait(work.wait());
    work.start(300ms);
    QTimer::singleShot(0, [] { TestSupport::raiseSessionSave(); });
    QTimer::singleShot(100ms, [] { KivApp::ProgramEnd::sessionManagerGone(); });
    EXPECT_EQ(TestSupport::runUntilExit(10s), 0);
    EXPECT_TRUE(end.isEnding());
}

// The toolkit's word that the X connection broke, which it ends the process after, finishes the
// program first.
TEST(ProgramEnd, TheDisplayGoingAwayFinishesTheProgramFirst)
{
    KivApp::ProgramEnd end;
    end.followDisplay();
    bool ended = false;
    QObject::connect(&end, &KivApp::ProgramEnd::ending, [&] { ended = true; });
    Finishing finishing;
    recordFinishing(end, finishing);
    TestSupport::CapturedStandardError standardError;
    qWarning("Something else about X11.");
    // Said on another thread than the program's, it is none of the toolkit's connection.
    QThread *other = QThread::create([] { qWarning("The X11 connection broke (error 1)."); });
    other->start();
    other->wait();
    delete other;
    EXPECT_EQ(finishing.count, 0);
    qWarning("The X11 connection broke (error 1). Did the X11 server die?");
    EXPECT_TRUE(ended);
    EXPECT_EQ(finishing.count, 1);
    EXPECT_FALSE(finishing.expired);
    EXPECT_TRUE(end.hasEnded());
    EXPECT_TRUE(standardError.text().contains("The X11 connection broke (error 1)")) << "passed on";
}
