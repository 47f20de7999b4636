#pragma once

#include "Tapestrel/automation/AutomationService.h"
#include "platform/UserDefaults.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunProcess.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
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

// The real program and its command line, each a process of its own, in one emulated home and on a
// session bus of their own (the program's name is one per bus, and other tests start programs too).
// Tests that need more in the home before the program starts override prepareHome().
class RunningProgramTest : public TestSupport::TempHomeTest
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

        // Nothing may wait for a person: the first-apply proposal has been answered before, and the
        // system wallpaper is a readable picture, so reading the current settings shows no alert.
        Platform::UserDefaults::standard().setValue("didApplyAnyProfile", true);
        ASSERT_TRUE(Platform::UserDefaults::standard().synchronize());
        const QString picture = home.filePath("Pictures/Wall.png");
        QDir().mkpath(QFileInfo(picture).absolutePath());
        QImage image(64, 36, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(picture));
        Platform::UserDefaults *desktop = Platform::UserDefaults::suite("com.apple.desktop");
        ASSERT_NE(desktop, nullptr);
        desktop->setValue("Background", QVariantMap {{"default", QVariantMap {{"ImageFilePath", picture}}}});
        ASSERT_TRUE(desktop->synchronize());
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
        const auto ownedByTheProgram = [&] {
            return bus.ownerPid(AutomationService::serviceName) == running.processId();
        };
        return TestSupport::waitUntil(ownedByTheProgram, std::chrono::seconds(60));
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

    QString program;
    TestSupport::PrivateSessionBus bus;
    // The children's environment: this process's, with the private bus.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess running;
};

} // namespace AutomationTests
