#pragma once

#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "platform/UserDefaults.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunProcess.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace AutomationTests {

// A script's call of the program's scripting service, answered later.
inline QDBusPendingCall scriptCall(const QDBusConnection &script, const QString &method,
                                   const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(AutomationService::serviceName, AutomationService::objectPath,
                                                       AutomationService::interfaceName, method);
    call.setArguments(arguments);
    return script.asyncCall(call, 60000);
}

// The names of the profiles the store at `path` holds, as the program's next start finds them.
inline QStringList storedNames(const QString &path)
{
    QStringList names;
    ModelContainer store(path);
    for (const Profile *profile : store.mainContext()->fetchProfiles())
        names.append(profile->name());
    return names;
}

// A home in which nothing waits for a person: the first-apply proposal has been answered before, and
// the system wallpaper is a readable picture (Pictures/Wall.png), so reading the current settings
// shows no alert. False when it could not be written.
inline bool askNothing(const TestSupport::TempHome &home)
{
    Platform::UserDefaults::standard().setValue("didApplyAnyProfile", true);
    const QString picture = home.filePath("Pictures/Wall.png");
    QDir().mkpath(QFileInfo(picture).absolutePath());
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    Platform::UserDefaults *desktop = Platform::UserDefaults::suite("com.apple.desktop");
    desktop->setValue("Background", QVariantMap {{"default", QVariantMap {{"ImageFilePath", picture}}}});
    return image.save(picture) && Platform::UserDefaults::standard().synchronize() && desktop->synchronize();
}

// The real program and its command line, each a process of its own, in one emulated home and on a
// session bus of their own (the program's name is one per bus, and other tests start programs too).
class ProgramOnItsOwnBusTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        if (!bus.isRunning())
            GTEST_SKIP() << "no dbus-daemon";
        bus.killOwnersAtEnd({AutomationService::serviceName});
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        program = QDir(QCoreApplication::applicationDirPath()).filePath("tapestrel");
        ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    }

    // The process that holds the program's name on the bus; 0 when none does.
    qint64 programPid() const { return bus.ownerPid(AutomationService::serviceName); }

    QString program;
    TestSupport::PrivateSessionBus bus;
    // The children's environment: this process's, with the private bus.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

// The program started by the test, before any command. Tests that need more in the home before it
// starts override prepareHome().
class RunningProgramTest : public ProgramOnItsOwnBusTest
{
protected:
    void SetUp() override
    {
        ProgramOnItsOwnBusTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(askNothing(home));
        prepareHome();

        running.setProcessEnvironment(environment);
        running.setProgram(program);
        running.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        running.start();
        ASSERT_TRUE(running.waitForStarted(10000));
    }

    void TearDown() override
    {
        if (running.state() != QProcess::NotRunning) {
            running.kill();
            running.waitForFinished(10000);
        }
    }

    virtual void prepareHome() { }

    // The program answers once its start-up (with the import of the shipped profiles) is done and
    // it is on the bus. This waits for that on the bus itself: a command sent earlier would start a
    // second program of its own, which outlives the test and may answer the next one.
    [[nodiscard]] bool waitUntilProgramAnswers() const
    {
        return bus.waitForOwner(AutomationService::serviceName, running);
    }

    // A command, which hands its request over and ends: it frees what it made.
    TestSupport::ProcessRun tapestrel(const QStringList &arguments) const
    {
        return TestSupport::runProcess(program, arguments, TestSupport::withLeakCheck(environment));
    }

    // The profiles' ids by name, from the JSON listing.
    QHash<QString, QString> listedProfiles() const
    {
        const TestSupport::ProcessRun run = tapestrel({"list", "--json"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QHash<QString, QString> ids;
        for (const QJsonValue &entry : QJsonDocument::fromJson(run.out.toUtf8()).array())
            ids.insert(entry["name"].toString(), entry["id"].toString());
        return ids;
    }

    QProcess running;
};

} // namespace AutomationTests
