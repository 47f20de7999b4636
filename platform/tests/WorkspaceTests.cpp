#include "platform/Workspace.h"

#include "testsupport/HostileFiles.h"
#include "testsupport/PropertyListFixtures.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QBuffer>
#include <QImage>
#include <QScopeGuard>
#include <QSignalSpy>

#include <gtest/gtest.h>

using Platform::ActivationPolicy;
using Platform::InstalledApplication;
using Platform::RunningApplication;
using Platform::Workspace;

namespace {

class WorkspaceTest : public TestSupport::TempHomeTest
{
protected:
    // A bundle's Info.plist holding the keys given (an empty one is left out) and a version number.
    void install(const QString &relativeBundle, const QString &identifier, const QString &name,
                 const QString &executable)
    {
        QByteArray members = "<key>CFBundleVersion</key><integer>3</integer>";
        for (const auto &[key, value] : {std::pair {"CFBundleIdentifier", identifier},
                                         {"CFBundleName", name},
                                         {"CFBundleExecutable", executable}}) {
            if (!value.isEmpty())
                members += "<key>" + QByteArray(key) + "</key><string>" + value.toUtf8() + "</string>";
        }
        home.writeFile(relativeBundle + "/Contents/Info.plist",
                       TestSupport::PropertyListFixtures::xmlDictionary(members));
    }
    Workspace &workspace = Workspace::shared();
};

TEST_F(WorkspaceTest, InstalledApplicationsComeFromBundlesBelowApplications)
{
    install("Applications/iTerm.app", "com.googlecode.iterm2", "iTerm2", "iTerm2");
    install("Applications/Utilities/Terminal.app", "com.apple.Terminal", "", "Terminal");
    install("Applications/Broken.app", "", "", ""); // no identifier, still an application
    home.writeFile("Applications/NoPlist.app/Contents/MacOS/tool", "x");
    home.writeFile("Applications/Garbage.app/Contents/Info.plist", "not a plist");
    // Helper applications inside a bundle are not installed applications of their own.
    install("Applications/iTerm.app/Contents/Helpers/Helper.app", "com.googlecode.helper", "Helper",
            "Helper");

    const auto installed = workspace.installedApplications();
    ASSERT_EQ(installed.size(), 3);
    // Path order ("Utilities" sorts before "iTerm").
    EXPECT_EQ(installed[0].name, "Broken");
    EXPECT_EQ(installed[1].name, "Terminal"); // the bundle's file name stands in for a missing name
    EXPECT_EQ(installed[2].bundleIdentifier, "com.googlecode.iterm2");
    EXPECT_EQ(installed[2].name, "iTerm2");
    EXPECT_EQ(installed[2].path, home.filePath("Applications/iTerm.app"));
    EXPECT_EQ(installed[2].executablePath(), home.filePath("Applications/iTerm.app/Contents/MacOS/iTerm2"));

    EXPECT_EQ(workspace.applicationWithBundleIdentifier("com.apple.Terminal")->path,
              home.filePath("Applications/Utilities/Terminal.app"));
    EXPECT_FALSE(workspace.applicationWithBundleIdentifier("com.apple.terminal")); // exact comparison
    EXPECT_FALSE(workspace.applicationWithBundleIdentifier(""));
    EXPECT_EQ(workspace.applicationNamed("iTerm")->bundleIdentifier, "com.googlecode.iterm2");
    EXPECT_EQ(workspace.applicationNamed("iTerm2")->bundleIdentifier, "com.googlecode.iterm2");
    EXPECT_FALSE(workspace.applicationNamed("Helper"));
}

TEST_F(WorkspaceTest, RunningApplicationsTableIsEditableAndForceQuitRemovesAnEntry)
{
    EXPECT_TRUE(workspace.runningApplications().isEmpty());

    home.writeFile("Library/Workspace/RunningApplications.json", R"([
        {"pid": 812, "bundleIdentifier": "com.googlecode.iterm2", "name": "iTerm2",
         "bundlePath": "/Applications/iTerm.app", "activationPolicy": "regular"},
        {"pid": 813, "bundleIdentifier": "com.example.agent", "activationPolicy": "accessory",
         "finishedLaunching": false},
        {"pid": 814, "bundleIdentifier": "com.googlecode.iterm2", "terminated": true}
    ])");
    auto running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 3);
    EXPECT_EQ(running[0].processIdentifier, 812);
    EXPECT_EQ(running[0].localizedName, "iTerm2");
    EXPECT_EQ(running[0].bundlePath, home.filePath("Applications/iTerm.app")); // platform path resolved
    EXPECT_TRUE(running[0].finishedLaunching);
    EXPECT_EQ(running[1].activationPolicy, ActivationPolicy::Accessory);
    EXPECT_FALSE(running[1].finishedLaunching);
    EXPECT_TRUE(running[2].terminated);
    EXPECT_EQ(workspace.runningApplications("com.googlecode.iterm2").size(), 2);

    QSignalSpy changed(&workspace, &Workspace::runningApplicationsChanged);
    EXPECT_TRUE(workspace.forceTerminate(812));
    EXPECT_FALSE(workspace.forceTerminate(812));
    EXPECT_EQ(changed.count(), 1);
    running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 2);
    EXPECT_EQ(running[0].processIdentifier, 813);

    // New entries get a process identifier never used in the table before.
    RunningApplication added;
    added.bundleIdentifier = "com.example.new";
    const qint64 pid = workspace.addRunningApplication(added);
    EXPECT_GT(pid, 814);
    EXPECT_EQ(workspace.runningApplications("com.example.new").value(0).processIdentifier, pid);
}

// A table that does not parse, or a pipe in its place, reads as empty at once and is never replaced.
TEST_F(WorkspaceTest, UnreadableTableIsNeverWaitedForNorOverwritten)
{
    const QString written = QStringLiteral("Library/Workspace/RunningApplications.json");
    const QString table = home.filePath(written);
    for (const bool piped : {false, true}) {
        SCOPED_TRACE(piped ? "named pipe" : "half written");
        QFile::remove(table);
        if (piped)
            ASSERT_TRUE(TestSupport::HostileFiles::makePipe(table));
        else
            home.writeFile(written, "[{ half written");
        const auto took = TestSupport::timeWithPipes(piped ? QStringList {table} : QStringList(), [&] {
            EXPECT_TRUE(workspace.runningApplications().isEmpty());
            RunningApplication added;
            added.bundleIdentifier = "com.example.new";
            EXPECT_EQ(workspace.addRunningApplication(added), 0);
            EXPECT_FALSE(workspace.forceTerminate(1));
            EXPECT_EQ(workspace.killAll("Dock"), 0);
        });
        EXPECT_LT(took, std::chrono::seconds(1));
        if (piped)
            EXPECT_FALSE(QFileInfo(table).isFile());
        else
            EXPECT_EQ(home.readFile(written), "[{ half written");
    }
}

TEST_F(WorkspaceTest, KilledDockComesBackWithANewProcessIdentifier)
{
    RunningApplication dock;
    dock.bundleIdentifier = Workspace::dockBundleIdentifier;
    dock.localizedName = "Dock";
    dock.executablePath = "/System/Library/CoreServices/Dock.app/Contents/MacOS/Dock";
    dock.activationPolicy = ActivationPolicy::Prohibited;
    const qint64 oldPid = workspace.addRunningApplication(dock);
    RunningApplication other;
    other.bundleIdentifier = "com.example.other";
    other.localizedName = "Dock"; // the name alone does not count when an executable is known
    other.executablePath = home.filePath("Applications/Other.app/Contents/MacOS/Other");
    workspace.addRunningApplication(other);

    QDateTime now = QDateTime::currentDateTimeUtc();
    workspace.setClock([&now] { return now; });
    const auto systemClock = qScopeGuard([this] { workspace.setClock({}); });

    EXPECT_EQ(workspace.killAll("Dock"), 1);
    // Right after the kill no Dock runs; the system starts a new one a moment later.
    EXPECT_TRUE(workspace.runningApplications(Workspace::dockBundleIdentifier).isEmpty());
    EXPECT_EQ(workspace.killAll("Dock"), 0); // nothing to kill while it starts
    now = now.addMSecs(Workspace::dockRelaunchDelayMs - 1);
    EXPECT_TRUE(workspace.runningApplications(Workspace::dockBundleIdentifier).isEmpty());
    now = now.addMSecs(1);
    const auto docks = workspace.runningApplications(Workspace::dockBundleIdentifier);
    ASSERT_EQ(docks.size(), 1);
    EXPECT_NE(docks[0].processIdentifier, oldPid);
    EXPECT_NE(docks[0].processIdentifier, 0);
    EXPECT_EQ(docks[0].activationPolicy, ActivationPolicy::Prohibited);
    EXPECT_EQ(workspace.runningApplications("com.example.other").size(), 1);

    EXPECT_EQ(workspace.killAll("Other"), 1);
    now = now.addSecs(60);
    EXPECT_TRUE(workspace.runningApplications("com.example.other").isEmpty());
}

TEST_F(WorkspaceTest, OpeningAnApplicationAddsItOnce)
{
    install("Applications/iTerm.app", "com.googlecode.iterm2", "iTerm2", "iTerm2");
    EXPECT_TRUE(TestSupport::runTask(workspace.openApplication("/Applications/iTerm.app")));
    EXPECT_TRUE(TestSupport::runTask(workspace.openApplication(home.filePath("Applications/iTerm.app"))));
    const auto running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 1);
    EXPECT_EQ(running[0].bundleIdentifier, "com.googlecode.iterm2");
    EXPECT_EQ(running[0].executablePath, home.filePath("Applications/iTerm.app/Contents/MacOS/iTerm2"));

    EXPECT_FALSE(TestSupport::runTask(workspace.openApplication("/Applications/Missing.app")));
    home.writeFile("Documents/notes.txt", "x");
    EXPECT_FALSE(TestSupport::runTask(workspace.openApplication(home.filePath("Documents"))));
    EXPECT_EQ(workspace.runningApplications().size(), 1);
}

TEST_F(WorkspaceTest, LinksGoThroughTheOpenerAndIconsNeverFail)
{
    QList<QUrl> opened;
    workspace.setUrlOpener([&](const QUrl &url) {
        opened.append(url);
        return true;
    });
    EXPECT_TRUE(workspace.openUrl(QUrl("https://example.org/themes")));
    EXPECT_FALSE(workspace.openUrl(QUrl()));
    workspace.setUrlOpener({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toString(), "https://example.org/themes");

    install("Applications/Plain.app", "com.example.plain", "Plain", "Plain");
    EXPECT_FALSE(workspace.iconForFile("/Applications/Plain.app").isNull());
    EXPECT_FALSE(workspace.iconForFile(home.filePath("missing")).isNull());
}

} // namespace

// Whatever stands in an Info.plist's place, the listing neither crashes nor waits.
TEST_F(WorkspaceTest, HostileInfoPlistsNeitherCrashNorBlockTheListing)
{
    using namespace TestSupport::PropertyListFixtures;
    namespace HostileFiles = TestSupport::HostileFiles;
    install("Applications/Plain.app", "com.example.plain", "Plain", "Plain");
    const QString withNul = QStringLiteral("Na") + QChar(0) + QStringLiteral("me\u00e9");
    home.writeFile("Applications/Nul.app/Contents/Info.plist",
                   list({dictionary({{1, 2}, {3, 4}}), ascii("CFBundleIdentifier"), ascii("com.example.nul"),
                         ascii("CFBundleName"), utf16(withNul)}));
    home.writeFile("Applications/DeepXml.app/Contents/Info.plist", nestedXmlArrays(200000));
    const QString info = QStringLiteral("/Contents/Info.plist");
    ASSERT_TRUE(
        HostileFiles::makeSparseFile(home.filePath("Applications/Huge.app") + info, 100 * 1024 * 1024));
    const QString pipe = home.filePath("Applications/Pipe.app") + info;
    ASSERT_TRUE(HostileFiles::makePipe(pipe));
    ASSERT_TRUE(HostileFiles::makeLinkLoop(home.filePath("Applications/Loop.app") + info));

    QList<InstalledApplication> installed;
    const auto took = TestSupport::timeWithPipes({pipe}, [&] {
        installed = workspace.installedApplications();
        workspace.iconForFile(home.filePath("Applications/Pipe.app"));
    });
    EXPECT_LT(took, std::chrono::seconds(1));
    ASSERT_EQ(installed.size(), 2);
    EXPECT_EQ(installed[0].name, withNul);
    EXPECT_EQ(installed[0].bundleIdentifier, "com.example.nul");
    EXPECT_EQ(installed[1].name, "Plain");

    // An icon file that takes turns with a named pipe is drawn when it is there and never waited for.
    home.writeFile("Applications/Swapped.app/Contents/Info.plist",
                   xmlDictionary("<key>CFBundleIconFile</key><string>AppIcon.png</string>"));
    QImage green(32, 32, QImage::Format_RGB32);
    green.fill(Qt::green);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && green.save(&buffer, "PNG"));
    const HostileFiles::SwappingPipe swapping(
        home.filePath("Applications/Swapped.app/Contents/Resources/AppIcon.png"), png);
    ASSERT_TRUE(swapping.isValid());
    const auto tally = swapping.keepReading([&] {
        const QIcon icon = workspace.iconForFile(home.filePath("Applications/Swapped.app"));
        return icon.pixmap(16).toImage().pixelColor(8, 8) == QColor(Qt::green);
    });
    EXPECT_LT(tally.took, TestSupport::stuckOnAPipe);
    EXPECT_GT(tally.read, 0);
}
