#include "Tapestrel/automation/AutomationService.h"

#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunProcess.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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

// The README's install command ("cmake --install build/<preset> --prefix <prefix> ..."), as
// arguments of cmake for this build and prefix; empty when the README has none.
QStringList readmeInstallArguments(const QString &build, const QString &prefix)
{
    // The build's cache names the checkout it was made from.
    QString source;
    QFile cache(QDir(build).filePath("CMakeCache.txt"));
    if (cache.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cache.readAll().split('\n')) {
            if (line.startsWith("CMAKE_HOME_DIRECTORY:"))
                source = QString::fromUtf8(line.mid(line.indexOf('=') + 1));
        }
    }
    QFile readme(QDir(source).filePath("README.md"));
    if (source.isEmpty() || !readme.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpressionMatch command =
        QRegularExpression("`cmake (--install [^`]*)`").match(QString::fromUtf8(readme.readAll()));
    if (!command.hasMatch())
        return {};
    QStringList arguments = command.captured(1).split(u' ', Qt::SkipEmptyParts);
    for (QString &argument : arguments) {
        if (argument.startsWith(QLatin1String("build/<")))
            argument = build;
        else if (argument == QLatin1String("<prefix>"))
            argument = prefix;
    }
    return arguments;
}

} // namespace

// Installs the build into a temporary prefix with the README's command, as a packager would, and
// looks at what landed there.
TEST(InstallationTest, InstallsTheProgramItsDesktopEntryIconAndBusActivation)
{
    TestSupport::TempHome home;
    QTemporaryDir prefix;
    const QString build = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
    const QStringList arguments = readmeInstallArguments(build, prefix.path());
    ASSERT_TRUE(arguments.contains(build) && arguments.contains(prefix.path()))
        << arguments.join(u' ').toStdString();
    const TestSupport::ProcessRun installed = TestSupport::runProcess("cmake", arguments);
    ASSERT_EQ(installed.exitCode, 0) << installed.out.toStdString() << installed.err.toStdString();
    const QDir root(prefix.path());

    const QString program = root.filePath("bin/tapestrel");
    for (const QString &tool :
         {program, root.filePath("bin/tapestrel-defaults"), root.filePath("bin/tapestrel-picture")}) {
        EXPECT_TRUE(QFileInfo(tool).isExecutable()) << tool.toStdString();
        // Installed without the debug information that the build keeps.
        const TestSupport::ProcessRun sections = TestSupport::runProcess("readelf", {"-S", "-W", tool});
        EXPECT_EQ(sections.exitCode, 0) << sections.err.toStdString();
        EXPECT_TRUE(sections.out.contains(QLatin1String(".text"))) << tool.toStdString();
        EXPECT_FALSE(sections.out.contains(QLatin1String(".debug_"))) << tool.toStdString();
    }

    const QString desktopFile = root.filePath("share/applications/com.quorvane.Tapestrel.desktop");
    const QHash<QString, QString> desktop = entries(desktopFile, "Desktop Entry");
    EXPECT_EQ(desktop.value("Name"), "Tapestrel");
    EXPECT_EQ(desktop.value("Exec"), program);
    EXPECT_EQ(desktop.value("Icon"), "com.quorvane.Tapestrel");
    // A desktop matches the windows to the entry by their X11 instance name, which is the program's
    // file name (the first-start test looks at the real windows).
    EXPECT_EQ(desktop.value("StartupWMClass"), QFileInfo(program).fileName());
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validator.isEmpty()) {
        const TestSupport::ProcessRun valid = TestSupport::runProcess(validator, {desktopFile});
        EXPECT_EQ(valid.exitCode, 0) << valid.out.toStdString() << valid.err.toStdString();
        EXPECT_TRUE(valid.out.trimmed().isEmpty()) << valid.out.toStdString();
    }

    QSvgRenderer icon(root.filePath("share/icons/hicolor/scalable/apps/com.quorvane.Tapestrel.svg"));
    EXPECT_TRUE(icon.isValid());
    EXPECT_EQ(icon.defaultSize(), QSize(128, 128));

    const QString services = root.filePath("share/dbus-1/services");
    const QHash<QString, QString> service =
        entries(services + QStringLiteral("/com.quorvane.Tapestrel.service"), "D-BUS Service");
    EXPECT_EQ(service.value("Name"), AutomationService::serviceName);
    EXPECT_EQ(service.value("Exec"), program + QStringLiteral(" --no-window"));

    // A request to the program's name starts the installed program on a bus that knows the file.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    TestSupport::PrivateSessionBus bus(services, environment);
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    bus.killOwnersAtEnd({AutomationService::serviceName});
    const QDBusMessage reply = bus.connection().call(
        QDBusMessage::createMethodCall(AutomationService::serviceName, AutomationService::objectPath,
                                       AutomationService::interfaceName, "ListProfiles"),
        QDBus::Block, 60000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_NE(bus.ownerPid(AutomationService::serviceName), 0);
}
