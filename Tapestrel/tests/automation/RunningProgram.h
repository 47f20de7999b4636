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
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace AutomationTests {

// The real program and its command line, each a process of its own, in one emulated home. Tests
// that need more in the home before the program starts override prepareHome().
class RunningProgramTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
        // One running program per session bus at a time: a second one would find the first on the
        // bus and hand its start to it. Tests of other buses (other test runs) need not wait.
        ASSERT_TRUE(busLock.tryLock(90000)) << "another running-program test holds the bus";
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
        busLock.unlock();
    }

    virtual void prepareHome() { }

    // The program answers once its start-up (with the import of the shipped profiles) is done and
    // it is on the bus. This waits for that on the bus itself: a command sent earlier would start a
    // second program of its own, which outlives the test and may answer the next one.
    [[nodiscard]] bool waitUntilProgramAnswers() const
    {
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        if (!bus)
            return false;
        const auto ownedByTheProgram = [&] {
            const QDBusReply<uint> owner = bus->servicePid(AutomationService::serviceName);
            return owner.isValid() && qint64(owner.value()) == running.processId();
        };
        return TestSupport::waitUntil(ownedByTheProgram, std::chrono::seconds(60));
    }

    TestSupport::ProcessRun tapestrel(const QStringList &arguments) const
    {
        return TestSupport::runProcess(program, arguments);
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

    static QString busLockPath()
    {
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
            .filePath(QStringLiteral("tapestrel-running-program-%1.lock").arg(qHash(bus), 0, 16));
    }

    QLockFile busLock {busLockPath()};
    QString program;
    QProcess running;
};

} // namespace AutomationTests
