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
    {
        done.setSingleShot(true);
        QObject::connect(&done, &QTimer::timeout, [this] { busy = false; });
    }
    void start(std::chrono::milliseconds after)
    {
        busy = true;
        if (after.count() >= 0)
            done.start(after);
    }
    KivApp::ProgramEnd::Wait wait()
    {
        return {name, [this] { return busy; },
                [this] {
                    return KivUtilities::nextEmission(&done, &QTimer::timeout);
                }};
    }

    QString name;
    bool busy = false;
    QTimer done;
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
        QObject::connect(&second.done, &QTimer::timeout, [&first] { first.start(50ms); });
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

// The session manager's save waits for the work, at most the bound, has the program store and leaves
// it running.
TEST(ProgramEnd, TheSessionManagersSaveStoresAndTheProgramGoesOn)
{
    for (const bool endless : {false, true}) {
        SCOPED_TRACE(endless ? "endless work" : "work that ends");
        KivApp::ProgramEnd end(300ms);
        Work work("the work");
        end.addWait(work.wait());
        work.start(endless ? -1ms : 100ms);
        end.followSessionManager();
        int stores = 0;
        QObject::connect(&end, &KivApp::ProgramEnd::storing, [&] {
            ++stores;
            EXPECT_EQ(work.busy, endless);
        });
        TestSupport::raiseSessionSave();
        EXPECT_EQ(stores, 1);
        EXPECT_FALSE(end.isEnding());
    }
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
