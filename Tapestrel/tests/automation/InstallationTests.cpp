#include "Tapestrel/automation/AutomationService.h"

#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunProcess.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The desktop entry's and the D-Bus service file's keys in their group.
QHash<QString, QString> entries(const QString &path, const QString &group)
{
    QHash<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    bool inGroup = false;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'['))
            inGroup = line == u'[' + group + u']';
        else if (inGroup && line.contains(u'='))
            values.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    }
    return values;
}

} // namespace

// Installs the build into a temporary prefix, as a packager would, and looks at what landed there.
TEST(InstallationTest, InstallsTheProgramItsDesktopEntryIconAndBusActivation)
{
    TestSupport::TempHome home;
    QTemporaryDir prefix;
    const QString build = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
    const TestSupport::ProcessRun installed = TestSupport::runProcess(
        QStringLiteral("cmake"),
        {QStringLiteral("--install"), build, QStringLiteral("--prefix"), prefix.path()});
    ASSERT_EQ(installed.exitCode, 0) << installed.out.toStdString() << installed.err.toStdString();
    const QDir root(prefix.path());

    const QString program = root.filePath(QStringLiteral("bin/tapestrel"));
    for (const QString &tool : {program, root.filePath(QStringLiteral("bin/tapestrel-defaults"))})
        EXPECT_TRUE(QFileInfo(tool).isExecutable()) << tool.toStdString();

    const QString desktopFile =
        root.filePath(QStringLiteral("share/applications/com.quorvane.Tapestrel.desktop"));
    const QHash<QString, QString> desktop = entries(desktopFile, QStringLiteral("Desktop Entry"));
    EXPECT_EQ(desktop.value(QStringLiteral("Name")), QStringLiteral("Tapestrel"));
    EXPECT_EQ(desktop.value(QStringLiteral("Exec")), program);
    EXPECT_EQ(desktop.value(QStringLiteral("Icon")), QStringLiteral("com.quorvane.Tapestrel"));
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validator.isEmpty()) {
        const TestSupport::ProcessRun valid = TestSupport::runProcess(validator, {desktopFile});
        EXPECT_EQ(valid.exitCode, 0) << valid.out.toStdString() << valid.err.toStdString();
        EXPECT_TRUE(valid.out.trimmed().isEmpty()) << valid.out.toStdString();
    }

    QSvgRenderer icon(
        root.filePath(QStringLiteral("share/icons/hicolor/scalable/apps/com.quorvane.Tapestrel.svg")));
    EXPECT_TRUE(icon.isValid());
    EXPECT_EQ(icon.defaultSize(), QSize(128, 128));

    const QString services = root.filePath(QStringLiteral("share/dbus-1/services"));
    const QHash<QString, QString> service = entries(
        services + QStringLiteral("/com.quorvane.Tapestrel.service"), QStringLiteral("D-BUS Service"));
    EXPECT_EQ(service.value(QStringLiteral("Name")), AutomationService::serviceName);
    EXPECT_EQ(service.value(QStringLiteral("Exec")), program + QStringLiteral(" --no-window"));

    // A request to the program's name starts the installed program on a bus that knows the file.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    TestSupport::PrivateSessionBus bus(services, environment);
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    bus.killOwnersAtEnd({AutomationService::serviceName});
    const QDBusMessage reply = bus.connection().call(
        QDBusMessage::createMethodCall(AutomationService::serviceName, AutomationService::objectPath,
                                       AutomationService::interfaceName, QStringLiteral("ListProfiles")),
        QDBus::Block, 60000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_NE(bus.ownerPid(AutomationService::serviceName), 0);
}
