#include "Tapestrel/system/DockReloader.h"

#include "platform/Workspace.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QElapsedTimer>
#include <QMap>
#include <QTimer>

#include <gtest/gtest.h>

using TestSupport::runTask;

namespace {

using Platform::RunningApplication;
using Platform::Workspace;

qint64 runningDock()
{
    const auto docks = Workspace::shared().runningApplications(Workspace::dockBundleIdentifier);
    return docks.isEmpty() ? 0 : docks.first().processIdentifier;
}

// Windows per process, with their minimised flags; a process without an entry cannot be read.
class ScriptedAccessibility : public WindowAccessibility
{
public:
    QMap<qint64, QMap<WindowID, bool>> windowsByProcess;
    struct Set
    {
        qint64 pid;
        WindowID window;
        bool minimized;
        qint64 dockAtThatMoment;
    };
    QList<Set> sets;

    std::optional<QList<WindowID>> windows(qint64 pid) const override
    {
        if (!windowsByProcess.contains(pid))
            return std::nullopt;
        return windowsByProcess[pid].keys();
    }
    std::optional<bool> isMinimized(qint64 pid, WindowID window) const override
    {
        if (!windowsByProcess.value(pid).contains(window))
            return std::nullopt;
        return windowsByProcess[pid][window];
    }
    bool setMinimized(qint64 pid, WindowID window, bool minimized) override
    {
        sets.append({pid, window, minimized, runningDock()});
        if (!windowsByProcess.value(pid).contains(window))
            return false;
        windowsByProcess[pid][window] = minimized;
        return true;
    }
};

class DockReloaderTest : public TestSupport::TempHomeTest
{
protected:
    DockReloaderTest() { WindowAccessibility::setCurrent(&accessibility); }
    ~DockReloaderTest() override { WindowAccessibility::setCurrent(nullptr); }

    static qint64 addApplication(const QString &bundleID, const QString &name,
                                 Platform::ActivationPolicy policy = Platform::ActivationPolicy::Regular,
                                 bool finishedLaunching = true)
    {
        RunningApplication application;
        application.bundleIdentifier = bundleID;
        application.localizedName = name;
        application.executablePath = "/Applications/" + name + ".app/Contents/MacOS/" + name;
        application.activationPolicy = policy;
        application.finishedLaunching = finishedLaunching;
        return Workspace::shared().addRunningApplication(application);
    }
    static qint64 addDock() { return addApplication(Workspace::dockBundleIdentifier, "Dock"); }

    ScriptedAccessibility accessibility;
};

} // namespace

TEST_F(DockReloaderTest, RestartsTheDockAndMinimisesTheSameWindowsAgainAfterwards)
{
    const qint64 editor = addApplication("com.example.editor", "Editor");
    const qint64 agent = addApplication("com.example.agent", "Agent", Platform::ActivationPolicy::Accessory);
    const qint64 launching =
        addApplication("com.example.slow", "Slow", Platform::ActivationPolicy::Regular, false);
    const qint64 unreadable = addApplication("com.example.locked", "Locked");
    const qint64 oldDock = addDock();
    accessibility.windowsByProcess[editor] = {{1, true}, {2, false}, {3, true}};
    accessibility.windowsByProcess[agent] = {{7, true}};
    accessibility.windowsByProcess[launching] = {{8, true}};
    Q_UNUSED(unreadable);

    DockReloader reloader;
    QElapsedTimer clock;
    clock.start();
    runTask(reloader.reload());

    const qint64 newDock = runningDock();
    EXPECT_NE(newDock, 0);
    EXPECT_NE(newDock, oldDock);
    EXPECT_EQ(Workspace::shared().runningApplications(Workspace::dockBundleIdentifier).size(), 1);
    // Well short of the five seconds it would wait for a Dock it did not see return; the margin
    // is for a busy machine.
    EXPECT_LT(clock.elapsed(), 4500);

    using W = DockReloader::MinimizedWindow;
    EXPECT_EQ(reloader.minimizedWindows(), QList<W>({{editor, 1}, {editor, 3}}));
    // Only the recorded windows are touched, in recording order, and only once the new Dock runs.
    ASSERT_EQ(accessibility.sets.size(), 2);
    EXPECT_EQ(accessibility.sets[0].window, 1u);
    EXPECT_EQ(accessibility.sets[1].window, 3u);
    for (const auto &set : accessibility.sets) {
        EXPECT_EQ(set.pid, editor);
        EXPECT_TRUE(set.minimized);
        EXPECT_EQ(set.dockAtThatMoment, newDock);
    }
}

TEST_F(DockReloaderTest, WindowsClosedMeanwhileArePassedOverAndAMissingDockIsAwaited)
{
    const qint64 editor = addApplication("com.example.editor", "Editor");
    accessibility.windowsByProcess[editor] = {{1, true}, {2, true}};
    // No Dock runs when the restart begins; one appears a moment later and ends the wait.
    QTimer::singleShot(250, [] { addDock(); });
    // The user closes a window and un-minimises the other while the Dock restarts.
    QTimer::singleShot(100, [this, editor] {
        accessibility.windowsByProcess[editor].remove(1);
        accessibility.windowsByProcess[editor][2] = false;
    });

    DockReloader reloader;
    QElapsedTimer clock;
    clock.start();
    runTask(reloader.reload());
    EXPECT_LT(clock.elapsed(), 4500) << "the Dock that appeared ended the wait";
    EXPECT_NE(runningDock(), 0);
    EXPECT_EQ(accessibility.sets.size(), 2);
    EXPECT_EQ(accessibility.windowsByProcess[editor],
              (QMap<WindowAccessibility::WindowID, bool> {{2, true}}));
}

TEST_F(DockReloaderTest, GivesUpWaitingForADockThatNeverReturnsAndStillRestoresWindows)
{
    const qint64 editor = addApplication("com.example.editor", "Editor");
    accessibility.windowsByProcess[editor] = {{4, true}};

    DockReloader reloader(std::chrono::milliseconds(400));
    QElapsedTimer clock;
    clock.start();
    runTask(reloader.reload(), std::chrono::seconds(5));
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_LT(clock.elapsed(), 4500) << "the wait ends at its own bound, not the default one";
    EXPECT_EQ(runningDock(), 0);
    ASSERT_EQ(accessibility.sets.size(), 1);
    EXPECT_EQ(accessibility.sets[0].window, 4u);
}

TEST_F(DockReloaderTest, WithoutAccessibilityOnlyTheDockRestarts)
{
    WindowAccessibility::setCurrent(nullptr);
    addApplication("com.example.editor", "Editor");
    const qint64 oldDock = addDock();
    DockReloader reloader;
    runTask(reloader.reload());
    EXPECT_TRUE(reloader.minimizedWindows().isEmpty());
    EXPECT_NE(runningDock(), oldDock);
    EXPECT_NE(runningDock(), 0);
}
