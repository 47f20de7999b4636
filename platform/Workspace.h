#pragma once

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>

namespace Platform {

// An application bundle below the emulated home's Applications folder.
struct InstalledApplication
{
    QString bundleIdentifier; // CFBundleIdentifier
    QString name; // CFBundleName, or the bundle's file name without ".app"
    QString executableName; // CFBundleExecutable
    QString path; // absolute path of the ".app" folder

    // Contents/MacOS/<executable>, or empty when the bundle names no executable.
    QString executablePath() const;

    friend bool operator==(const InstalledApplication &, const InstalledApplication &) = default;
};

enum class ActivationPolicy {
    Regular, // shows in the Dock (on this system: in the task bar)
    Accessory, // no Dock icon, may show windows
    Prohibited, // background process
};

QString toRawValue(ActivationPolicy policy);
std::optional<ActivationPolicy> activationPolicyFromRawValue(const QString &raw);

// One entry of the running-applications table.
struct RunningApplication
{
    qint64 processIdentifier = 0;
    QString bundleIdentifier;
    QString localizedName; // may be empty
    QString bundlePath; // the ".app" folder; empty for a process without a bundle
    QString executablePath; // may be empty
    ActivationPolicy activationPolicy = ActivationPolicy::Regular;
    bool finishedLaunching = true;
    bool terminated = false;

    friend bool operator==(const RunningApplication &, const RunningApplication &) = default;
};

// The workspace of this desktop as the program sees it: the applications installed in the emulated
// home, the applications running, and the services to open, quit and show them.
//
// The running applications are a table in the emulated home, "Library/Workspace/RunningApplications.json":
// a JSON array of objects with "pid", "bundleIdentifier", "name", "bundlePath", "executablePath",
// "activationPolicy" ("regular", "accessory", "prohibited"), "finishedLaunching", "terminated" and,
// for a process the system is still starting, "launchesAt" (ISO date). Tests and people may edit it;
// every call reads it afresh, so an edit is seen at once. A file that cannot be parsed reads as no
// running applications and is never overwritten.
//
// The Dock ("com.apple.dock") behaves as the system's Dock does: when it is killed the system starts
// it again a moment later (dockRelaunchDelay) with a new process identifier.
//
// All members may be called from any thread; changes to the table are serialised.
class Workspace : public QObject
{
    Q_OBJECT

public:
    static Workspace &shared();

    static inline const QString dockBundleIdentifier = QStringLiteral("com.apple.dock");
    static constexpr int dockRelaunchDelayMs = 300;

    // The table's path below the emulated home.
    static QString runningApplicationsFile();

    // Installed applications, in path order: every "<Name>.app" folder with a readable
    // Contents/Info.plist below Applications/ (nested folders such as "Applications/Utilities" included).
    QList<InstalledApplication> installedApplications() const;
    // The first installed application with this bundle identifier (exact comparison).
    std::optional<InstalledApplication>
    applicationWithBundleIdentifier(const QString &bundleIdentifier) const;
    // The installed application whose name or bundle file name (without ".app") equals `name`.
    std::optional<InstalledApplication> applicationNamed(const QString &name) const;
    // The bundle at a path; none when it is no application bundle.
    std::optional<InstalledApplication> applicationAt(const QString &bundlePath) const;

    // Running applications in table order; processes that the system is still starting are left out.
    QList<RunningApplication> runningApplications() const;
    QList<RunningApplication> runningApplications(const QString &bundleIdentifier) const;

    // Adds an entry (tests and the open operation use it). A process identifier of 0 gets a fresh one.
    // Returns the process identifier given.
    qint64 addRunningApplication(RunningApplication application);

    // Ends the process at once: its entry leaves the table. False when no such process runs.
    bool forceTerminate(qint64 processIdentifier);

    // Ends every process whose executable file name (or, without one, whose name) equals `name`, as the
    // killall tool does. Returns how many ended. A killed Dock is started again after dockRelaunchDelayMs.
    int killAll(const QString &name);

    // Opens the application bundle at a path: when it is not running it is added to the table as a
    // regular, launched application. Fails (false) when the path is no application bundle.
    QCoro::Task<bool> openApplication(QString bundlePath);

    // Opens a web link with the user's browser (through the link opener, replaceable for tests).
    bool openUrl(const QUrl &url);
    void setUrlOpener(std::function<bool(const QUrl &)> opener);

    // The icon of a file: an application bundle's own icon (CFBundleIconFile in Contents/Resources)
    // when it has one, otherwise the desktop's icon for that kind of file.
    QIcon iconForFile(const QString &path) const;

    // The time that decides when a restarted process is up; tests pass their own to step past the
    // Dock's restart. An empty clock is the system's.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock);

signals:
    // Emitted (on the thread that made the change) when this process changed the table.
    void runningApplicationsChanged();

private:
    Workspace() = default;
    // Read with the table's lock held.
    QDateTime now() const;

    std::function<bool(const QUrl &)> m_urlOpener;
    Clock m_clock;
};

} // namespace Platform
