#pragma once

#include "Tapestrel/automation/AutomationService.h"
#include "platform/UserDefaults.h"
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
#include <QProcessEnvironment>

#include <memory>

#include <gtest/gtest.h>

namespace AutomationTests {

// The real program and its command line, each a process of its own, in one emulated home and on a
// session bus of their own: the program keeps one instance per bus, so tests that run at the same
// time never reach each other's program. Tests that need more in the home before the program starts
// override prepareHome().
class RunningProgramTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        bus.setProgram(QStringLiteral("dbus-daemon"));
        bus.setArguments(
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        bus.start();
        if (!bus.waitForStarted(10000) || !TestSupport::waitUntil([this] { return bus.canReadLine(); }))
            GTEST_SKIP() << "no session bus of its own";
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QString::fromUtf8(bus.readLine().trimmed()));
        connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")), busConnectionName()));
        ASSERT_TRUE(connection->isConnected());
        program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tapestrel"));
        ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();

        // Nothing may wait for a person: the first-apply proposal has been answered before, and the
        // system wallpaper is a readable picture, so reading the current settings shows no alert.
        Platform::UserDefaults::standard().setValue(QStringLiteral("didApplyAnyProfile"), true);
        ASSERT_TRUE(Platform::UserDefaults::standard().synchronize());
        const QString picture = home.filePath(QStringLiteral("Pictures/Wall.png"));
        QDir().mkpath(QFileInfo(picture).absolutePath());
        QImage image(64, 36, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(picture));
        Platform::UserDefaults *desktop = Platform::UserDefaults::suite(QStringLiteral("com.apple.desktop"));
        ASSERT_NE(desktop, nullptr);
        desktop->setValue(QStringLiteral("Background"),
                          QVariantMap {{QStringLiteral("default"),
                                        QVariantMap {{QStringLiteral("ImageFilePath"), picture}}}});
        ASSERT_TRUE(desktop->synchronize());
        prepareHome();

        running.setProgram(program);
        running.setProcessEnvironment(environment);
        running.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        running.start();
        ASSERT_TRUE(running.waitForStarted(10000));
    }

    void TearDown() override
    {
        for (QProcess *process : {&running, &bus}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(10000);
            }
        }
        connection.reset();
        QDBusConnection::disconnectFromBus(busConnectionName());
    }

    virtual void prepareHome() { }

    // The program answers once its start-up (with the import of the shipped profiles) is done and
    // it is on the bus. This waits for that on the bus itself: a command sent earlier would start a
    // second program of its own, which outlives the test and may answer the next one.
    [[nodiscard]] bool waitUntilProgramAnswers() const
    {
        QDBusConnectionInterface *daemon = connection ? connection->interface() : nullptr;
        if (!daemon)
            return false;
        const auto ownedByTheProgram = [&] {
            const QDBusReply<uint> owner = daemon->servicePid(AutomationService::serviceName);
            return owner.isValid() && qint64(owner.value()) == running.processId();
        };
        return TestSupport::waitUntil(ownedByTheProgram, std::chrono::seconds(60));
    }

    TestSupport::ProcessRun tapestrel(const QStringList &arguments) const
    {
        return TestSupport::runProcess(program, arguments, environment);
    }

    // The profiles' ids by name, from the JSON listing.
    QHash<QString, QString> listedProfiles() const
    {
        const TestSupport::ProcessRun run = tapestrel({QStringLiteral("list"), QStringLiteral("--json")});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QHash<QString, QString> ids;
        for (const QJsonValue &entry : QJsonDocument::fromJson(run.out.toUtf8()).array())
            ids.insert(entry[QStringLiteral("name")].toString(), entry[QStringLiteral("id")].toString());
        return ids;
    }

    QString busConnectionName() const { return QStringLiteral("RunningProgramTest-%1").arg(quintptr(this)); }

    QString program;
    QProcess running;
    QProcess bus;
    QProcessEnvironment environment;
    std::unique_ptr<QDBusConnection> connection;
};

} // namespace AutomationTests
