#include "Tapestrel/tests/engine/RecordingOptionModel.h"

#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/automation/CommandLineClient.h"
#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/model/ProfileNames.h"
#include "Tapestrel/model/ProfileOperationQueue.h"
#include "Tapestrel/model/ShowProfileNotification.h"

#include "KivUtilities/Detached.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/RunTask.h"
#include "testsupport/ScopedVariable.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QFuture>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

#include <unistd.h>

using TestSupport::spinEventLoop;
using namespace std::chrono_literals;

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The program's scripting service in this process, under a bus name of this process alone (tests
// run side by side on one bus), and the command line talking to it over a connection of its own
// from another thread, as a separate process would.
class AutomationBusTest : public TestSupport::TempHomeTest
{
protected:
    AutomationBusTest()
    {
        OptionStore::setShared(&registry.store);
        ProfileController::setDockRestart([]() -> QCoro::Task<void> { co_return; });
        EngineSettings::setDidApplyAnyProfile(true);
        registry.model("system.ui.appearance")->currentValue = "dark";
        registry.model("system.dock.position")->currentValue = "left";
    }
    ~AutomationBusTest() override
    {
        QDBusConnection::sessionBus().unregisterService(serviceName);
        QDBusConnection::sessionBus().unregisterObject(AutomationService::objectPath);
        QDBusConnection::disconnectFromBus(clientBusName);
        OptionStore::setShared(nullptr);
        ProfileController::setDockRestart({});
    }

    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(service.registerOn(QDBusConnection::sessionBus(), serviceName, &error))
            << error.toStdString();
    }

    Result tapestrel(const QStringList &arguments, CommandLineClient::Launcher launcher = {},
                     const QString &service = {}, int timeout = 60000)
    {
        CommandLineClient client(clientBus);
        client.setService(service.isEmpty() ? serviceName : service);
        client.setTimeout(timeout);
        client.setLauncher(launcher ? launcher : [this] {
            ++launches;
            return false;
        });
        client.setStartTimeout(300);
        auto result = std::make_shared<Result>();
        QFuture<void> running = QtConcurrent::run([&client, arguments, result] {
            QTextStream out(&result->out);
            QTextStream err(&result->err);
            result->exitCode = client.execute(arguments, out, err);
        });
        QElapsedTimer waited;
        waited.start();
        while (!running.isFinished() && waited.elapsed() < 30000)
            spinEventLoop(std::chrono::milliseconds(5));
        running.waitForFinished();
        return *result;
    }

    int appliesOf(const QString &profileName) const
    {
        return int(registry.journal->entries.filter(QRegularExpression(" @" + profileName + "$")).size());
    }

    const QString serviceName =
        QStringLiteral("com.quorvane.Tapestrel.Test%1").arg(QCoreApplication::applicationPid());
    const QString clientBusName = QStringLiteral("tapestrel-client");
    QDBusConnection clientBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, clientBusName);
    EngineTests::RecordingRegistry registry;
    ModelContainer container {home.filePath("data.sqlite")};
    ModelContext *context = container.mainContext();
    AutomationService service {context};
    Platform::ScriptedAlertAnswerer alerts;
    int launches = 0;
};

} // namespace

TEST_F(AutomationBusTest, CreatedProfileIsListedAppliedAndReappliedForFocus)
{
    const Result created = tapestrel({"create", "Evening"});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    const QStringList fields = created.out.trimmed().split('\t');
    ASSERT_EQ(fields.size(), 2);
    const QString eveningID = fields[0];
    EXPECT_EQ(fields[1], "Evening");
    // Filled from the current settings and already stored.
    ModelContainer reopened(home.filePath("data.sqlite"));
    const QList<Profile *> stored = reopened.mainContext()->fetchProfiles(eveningID);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0]->value("system.ui.appearance"), "dark");
    EXPECT_EQ(stored[0]->options().size(), 28);

    Profile *night = context->insert(std::make_unique<Profile>("Night \"late\""));
    night->findOrCreateOption("system.ui.appearance")->setValue("light");

    const Result listed = tapestrel({"list", "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QJsonArray profiles = QJsonDocument::fromJson(listed.out.toUtf8()).array();
    EXPECT_EQ(profiles,
              (QJsonArray {QJsonObject {{"id", eveningID}, {"name", "Evening"}},
                           QJsonObject {{"id", night->uuid()}, {"name", "Night \"late\""}}}));
    EXPECT_EQ(tapestrel({"list"}).out, eveningID + "\tEvening\n" + night->uuid() + "\tNight \"late\"\n");

    registry.model("system.ui.appearance")->currentValue = "light";
    registry.journal->entries.clear();
    const Result applied = tapestrel({"apply", eveningID});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    // The call returns once the profile is applied.
    EXPECT_TRUE(registry.journal->entries.contains("apply system.ui.appearance=dark @Evening"));
    EXPECT_TRUE(registry.journal->entries.contains("apply system.dock.position=left @Evening"));
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), eveningID);

    // A focus mode applies its own profile without remembering it...
    EXPECT_EQ(tapestrel({"focus", night->uuid()}).exitCode, 0);
    EXPECT_TRUE(registry.journal->entries.contains("apply system.ui.appearance=light @Night \"late\""));
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), eveningID);
    // ...and without one brings back the last applied profile.
    const int eveningApplies = appliesOf("Evening");
    EXPECT_EQ(tapestrel({"focus"}).exitCode, 0);
    EXPECT_EQ(appliesOf("Evening"), 2 * eveningApplies);
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), eveningID);
    EXPECT_EQ(launches, 0);

    // While a restore is merged, saves wait for it: "created" comes only once the profile is stored.
    KivUtilities::detached(container.merge([](const QString &) {
        QThread::msleep(1500);
        return RowMoves {};
    }),
                           "held merge");
    const Result late = tapestrel({"create", "Late"});
    ASSERT_EQ(late.exitCode, 0) << late.err.toStdString();
    EXPECT_EQ(ModelContainer(home.filePath("data.sqlite"))
                  .mainContext()
                  ->fetchProfiles(late.out.section('\t', 0, 0))
                  .size(),
              1);
}

TEST_F(AutomationBusTest, BadInputIsRefusedWithAMessageAndChangesNothing)
{
    Profile *evening = context->insert(std::make_unique<Profile>("Evening"));
    EngineSettings::setLastAppliedProfileID(evening->uuid());

    const QString noSuchID = "tapestrel: There is no profile with the id “NO-SUCH-ID”.\n";
    const QString usage = CommandLineClient::usage() + "\n";
    const struct
    {
        QStringList arguments;
        int exitCode;
        QString err;
    } refused[] = {
        {{"apply", "NO-SUCH-ID"}, 1, "tapestrel: There is no profile with the id or name “NO-SUCH-ID”.\n"},
        {{"focus", "NO-SUCH-ID"}, 1, noSuchID},
        {{"--show-profile", "NO-SUCH-ID"}, 1, noSuchID},
        {{"create", "  "}, 1, "tapestrel: A profile needs a name.\n"},
        {{"apply"}, 2, usage},
        {{"apply", "a", "b"}, 2, usage},
        {{"list", "--xml"}, 2, usage},
        {{"focus", "a", "b"}, 2, usage},
    };
    for (const auto &[arguments, exitCode, err] : refused) {
        const Result result = tapestrel(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.err, err) << arguments.join(' ').toStdString();
    }
    spinEventLoop(std::chrono::milliseconds(50));
    EXPECT_TRUE(registry.journal->entries.isEmpty());
    EXPECT_EQ(context->fetchProfiles().size(), 1);
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), evening->uuid());

    // Nothing applied yet: the focus fallback has nothing to bring back.
    EngineSettings::setLastAppliedProfileID("");
    const Result noLast = tapestrel({"focus"});
    EXPECT_EQ(noLast.exitCode, 1);
    EXPECT_EQ(noLast.err, "tapestrel: No profile has been applied yet.\n");

    QStringList shown;
    QObject listening; // ends the connection with the test, so a later post cannot reach `shown`
    QObject::connect(&Platform::NotificationCenter::defaultCenter(), &Platform::NotificationCenter::posted,
                     &listening, [&shown](const QString &name, const QVariantMap &info) {
                         if (name == ShowProfileNotification::name)
                             shown.append(info.value(ShowProfileNotification::idKey).toString());
                         else if (name == "showMainWindow")
                             shown.append(name);
                     });
    EXPECT_EQ(tapestrel({"--show-profile", evening->uuid()}).exitCode, 0);
    EXPECT_EQ(shown, QStringList({"showMainWindow", evening->uuid()}));

    // A caller may send megabytes: the error repeats only the start.
    const Result longID = tapestrel({"apply", QString(100000, u'x')});
    EXPECT_EQ(longID.err,
              "tapestrel: There is no profile with the id or name “" + QString(200, u'x') + "…”.\n");
    // A list larger than one answer on the bus can hold is refused; the service keeps its name.
    for (int index = 0; index < 11000; ++index)
        context->insert(std::make_unique<Profile>(QString(ProfileNames::maximumLength, u'語')));
    const Result tooMany = tapestrel({"list"});
    EXPECT_EQ(tooMany.exitCode, 1);
    EXPECT_EQ(
        tooMany.err,
        "tapestrel: The 11001 profiles and their names are more than one answer on the bus can hold.\n");
    EXPECT_EQ(tapestrel({"focus", evening->uuid()}).exitCode, 0);
    EXPECT_EQ(launches, 0);
}

TEST_F(AutomationBusTest, CommandWithoutARunningProgramStartsItOrSaysWhyNot)
{
    QDBusConnection::sessionBus().unregisterService(serviceName);
    const Result failed = tapestrel({"list"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err, "tapestrel: Tapestrel could not be started.\n");
    EXPECT_EQ(launches, 1);

    // A started program that never shows up on the bus ends the wait instead of hanging.
    const Result silent = tapestrel({"list"}, [] { return true; });
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_EQ(silent.err, "tapestrel: Tapestrel was started but did not answer in time.\n");

    // Started: the command goes to it.
    context->insert(std::make_unique<Profile>("Evening"));
    const Result started = tapestrel({"list"}, [this] {
        QMetaObject::invokeMethod(
            qApp, [this] { QDBusConnection::sessionBus().registerService(serviceName); },
            Qt::QueuedConnection);
        return true;
    });
    EXPECT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_TRUE(started.out.endsWith("\tEvening\n"));
}

namespace {

// A program on the bus that takes every call and never answers.
class SilentObject : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override { return true; }
};

// A program on the bus that takes a call and ends (leaves the bus) before it answers.
class EndingObject : public SilentObject
{
public:
    explicit EndingObject(QString connectionName)
        : m_connectionName(std::move(connectionName))
    { }
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override
    {
        QMetaObject::invokeMethod(
            qApp, [name = m_connectionName] { QDBusConnection::disconnectFromBus(name); },
            Qt::QueuedConnection);
        return true;
    }

private:
    QString m_connectionName;
};

// A program on the bus that answers every call after `delay`.
class LateObject : public SilentObject
{
public:
    explicit LateObject(std::chrono::milliseconds delay)
        : m_delay(delay)
    { }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QDBusMessage answer =
            message.createErrorReply(AutomationService::failedError, "Answered late.");
        QMetaObject::invokeMethod(
            qApp,
            [answer, connection, delay = m_delay] {
                QTimer::singleShot(delay, qApp,
                                   [answer, connection] { QDBusConnection(connection).send(answer); });
            },
            Qt::QueuedConnection);
        return true;
    }

private:
    std::chrono::milliseconds m_delay;
};

} // namespace

TEST(StartLog, IsMadeInTheRuntimeFolderOnlyWhenThatIsTheUsersOwnFolder)
{
    QTemporaryDir folder;
    const QString own = folder.filePath("own"), file = folder.filePath("file"),
                  others = folder.filePath("others");
    ASSERT_TRUE(QDir().mkdir(own) && QDir().mkdir(others));
    QFile(file).open(QIODevice::WriteOnly);
    // Only the superuser can give a folder away; for anyone else the row tells nothing.
    const bool given = ::chown(QFile::encodeName(others).constData(), 65534, 65534) == 0;
    const struct
    {
        QString runtime;
        QString used;
    } rows[] = {
        {{}, QDir::tempPath()},
        {folder.filePath("missing"), QDir::tempPath()},
        {file, QDir::tempPath()},
        {others, given ? QDir::tempPath() : others},
        {own, own},
    };
    for (const auto &[runtime, used] : rows) {
        const TestSupport::ScopedVariable environment(
            "XDG_RUNTIME_DIR", runtime.isEmpty() ? QByteArray() : runtime.toLocal8Bit());
        EXPECT_EQ(CommandLineClient::startLogFolder(), used) << runtime.toStdString();
    }
}

// A started program that ended is reported with the last line it wrote for the command line, or else
// with the first line of its log (what went wrong first, such as the display Qt could not open) and
// the last ones (what ended it).
TEST(StartLog, ReasonIsTheProgramsOwnLineOrTheFirstAndTheLastLines)
{
    QTemporaryDir folder;
    const QString filler(100, u'x');
    const struct
    {
        const char *name;
        QByteArray log;
        QStringList reason;
    } rows[] = {
        {"empty", "\n\n", {}},
        {"few lines", "one\n\ntwo\n", {"one", "two"}},
        {"the program's own line", "Qt said\ntapestrel: no store \\ \x1b\nabort\n", {"no store \\ \\u001b"}},
        {"one more than the last", "first\n2\n3\n4\n5\n6\n", {"first", "2", "3", "4", "5", "6"}},
        {"lines left out",
         "Failed to create wl_display (No such file or directory)\n2\n3\n4\n5\n6\n7\n",
         {"Failed to create wl_display (No such file or directory)", "…", "3", "4", "5", "6", "7"}},
        {"larger than what is read",
         "\x1b first\n" + (filler + '\n').repeated(100).toLatin1() + "a\nb\n",
         {"\\u001b first", "…", filler, filler, filler, "a", "b"}},
    };
    for (const auto &[name, log, reason] : rows) {
        SCOPED_TRACE(name);
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(log) == log.size());
        file.close();
        EXPECT_EQ(CommandLineClient::reasonForEnding(file.fileName()), reason);
    }
    EXPECT_EQ(CommandLineClient::reasonForEnding(folder.filePath("missing")), QStringList());
}

TEST_F(AutomationBusTest, ProfilesAreAppliedByIdOrByAnUnambiguousName)
{
    Profile *morning = context->insert(std::make_unique<Profile>("Morning"));
    morning->findOrCreateOption("system.ui.appearance")->setValue("light");
    Profile *first = context->insert(std::make_unique<Profile>("Evening"));
    Profile *second = context->insert(std::make_unique<Profile>("Evening"));

    const Result byName = tapestrel({"apply", "Morning"});
    ASSERT_EQ(byName.exitCode, 0) << byName.err.toStdString();
    EXPECT_TRUE(registry.journal->entries.contains("apply system.ui.appearance=light @Morning"));
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), morning->uuid());

    registry.journal->entries.clear();
    const Result ambiguous = tapestrel({"apply", "Evening"});
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_EQ(ambiguous.err,
              "tapestrel: Several profiles are named “Evening”; give one of their ids: " + first->uuid()
                  + ", " + second->uuid() + "\n");
    spinEventLoop(std::chrono::milliseconds(50));
    EXPECT_TRUE(registry.journal->entries.isEmpty());

    // An id wins over a name, and is what tells the two apart.
    EXPECT_EQ(tapestrel({"apply", second->uuid()}).exitCode, 0);
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), second->uuid());
    // A focus mode names its profile by id only.
    EXPECT_EQ(tapestrel({"focus", "Morning"}).exitCode, 1);
}

TEST_F(AutomationBusTest, AnApplyWithFailedSettingsAppliesTheRestAndSaysWhatFailed)
{
    Profile *evening = context->insert(std::make_unique<Profile>("Evening"));
    EngineTests::holdEveryOption(evening);
    evening->findOrCreateOption("system.ui.appearance")->setValue("dark");
    registry.model("system.dock.size")->fails = true;
    registry.model("apps.vscode.theme")->fails = true;
    registry.model("apps.vscode.theme")->failure =
        "The VS Code settings file “/home/settings.json” cannot be read: unexpected end.";

    const Result applied = tapestrel({"apply", "Evening"});
    EXPECT_EQ(applied.exitCode, 1);
    EXPECT_EQ(applied.err,
              "tapestrel: Applied “Evening”, but 2 of its settings could not be changed:\n"
              "  Test › system.dock.size: refused\n"
              "  Test › apps.vscode.theme: The VS Code settings file “/home/settings.json” "
              "cannot be read: unexpected end.\n");
    EXPECT_TRUE(applied.out.isEmpty());
    // Everything else was applied, and the profile counts as the last one applied.
    EXPECT_EQ(registry.journal->entries.size(), 28);
    EXPECT_TRUE(registry.journal->entries.contains("apply system.ui.appearance=dark @Evening"));
    EXPECT_EQ(EngineSettings::lastAppliedProfileID(), evening->uuid());

    // A focus mode's apply is answered the same way; neither waits on a dialog.
    const Result focused = tapestrel({"focus", evening->uuid()});
    EXPECT_EQ(focused.exitCode, 1);
    EXPECT_TRUE(focused.err.startsWith("tapestrel: Applied “Evening”, but 2 of"))
        << focused.err.toStdString();
    EXPECT_TRUE(alerts.alerts().isEmpty());

    // What a client of the bus gets: an error it cannot take for success.
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, AutomationService::objectPath,
                                                       AutomationService::interfaceName, "ApplyProfile");
    call.setArguments({evening->uuid()});
    const QDBusPendingCall pending = clientBus.asyncCall(call);
    ASSERT_TRUE(TestSupport::waitUntil([&pending] { return pending.isFinished(); }));
    EXPECT_TRUE(pending.isError());
    EXPECT_EQ(pending.error().name(), AutomationService::partlyAppliedError);
    EXPECT_TRUE(pending.error().message().endsWith("cannot be read: unexpected end."));
}

TEST_F(AutomationBusTest, FirstApplyFromAScriptKeepsTheCurrentSettingsWithoutAsking)
{
    EngineSettings::setDidApplyAnyProfile(false);
    Profile *night = context->insert(std::make_unique<Profile>("Night"));
    night->findOrCreateOption("system.ui.appearance")->setValue("light");
    QList<bool> unattended;
    registry.model("system.ui.appearance")->onApply = [&unattended] {
        unattended.append(ProfileOperationQueue::shared().isUnattended());
    };

    const Result applied = tapestrel({"apply", night->uuid()});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(unattended, QList<bool> {true});
    EXPECT_TRUE(EngineSettings::didApplyAnyProfile());
    // The settings from before the apply, kept as a "Yes" to the proposal would have kept them.
    QList<Profile *> firsts;
    for (Profile *profile : context->fetchProfiles()) {
        if (profile->name() == "First Profile")
            firsts.append(profile);
    }
    ASSERT_EQ(firsts.size(), 1);
    EXPECT_EQ(firsts[0]->value("system.ui.appearance"), "dark");
    EXPECT_EQ(firsts[0]->value("system.dock.position"), "left");
    EXPECT_EQ(firsts[0]->options().size(), 28);

    // Once is enough.
    EXPECT_EQ(tapestrel({"apply", night->uuid()}).exitCode, 0);
    EXPECT_EQ(context->fetchProfiles().size(), 2);
}

TEST_F(AutomationBusTest, UnknownCommandsAndAProgramThatNeverAnswers)
{
    for (const QStringList &unknown : QList<QStringList> {{"bogus"}, {"--bogus"}, {"Apply", "x"}}) {
        const Result refused = tapestrel(unknown);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_EQ(refused.err,
                  "tapestrel: Unknown command “" + unknown.first() + "”.\n" + CommandLineClient::usage()
                      + "\n");
        EXPECT_TRUE(refused.out.isEmpty());
    }
    // What starts the program itself rather than a command.
    EXPECT_TRUE(CommandLineClient::startsProgram({}));
    EXPECT_TRUE(CommandLineClient::startsProgram({"--no-window"}));
    EXPECT_TRUE(CommandLineClient::startsProgram({"-platform", "offscreen"}));
    for (const QStringList &other : QList<QStringList> {{"bogus"}, {"--bogus"}, {"--help"}, {"-h"}, {"list"}})
        EXPECT_FALSE(CommandLineClient::startsProgram(other)) << other.join(' ').toStdString();
    EXPECT_EQ(launches, 0);

    // A program that takes the request and never answers: the command gives up at its time-out.
    QDBusConnection silentBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, "tapestrel-silent");
    SilentObject silent;
    ASSERT_TRUE(silentBus.registerVirtualObject(AutomationService::objectPath, &silent));
    const QString silentName = serviceName + "Silent";
    ASSERT_TRUE(silentBus.registerService(silentName));
    QElapsedTimer clock;
    clock.start();
    const Result waited = tapestrel({"list"}, {}, silentName, 400);
    EXPECT_EQ(waited.exitCode, 1);
    EXPECT_EQ(waited.err,
              "tapestrel: Tapestrel did not answer within 1 s; the request may still be carried out.\n");
    EXPECT_LT(clock.elapsed(), 10000);
    silentBus.unregisterService(silentName);
    silentBus.unregisterObject(AutomationService::objectPath);
    QDBusConnection::disconnectFromBus("tapestrel-silent");

    // A program that answers after the bus library's own 25 s: the command, which has no time-out of its
    // own unless given one, waits for the answer as long as the program takes.
    QDBusConnection lateBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "tapestrel-late");
    LateObject late(26s);
    ASSERT_TRUE(lateBus.registerVirtualObject(AutomationService::objectPath, &late));
    const QString lateName = serviceName + "Late";
    ASSERT_TRUE(lateBus.registerService(lateName));
    const Result answered = tapestrel({"list"}, {}, lateName, -1);
    EXPECT_EQ(answered.err, "tapestrel: Answered late.\n") << answered.err.toStdString();
    lateBus.unregisterService(lateName);
    lateBus.unregisterObject(AutomationService::objectPath);
    QDBusConnection::disconnectFromBus("tapestrel-late");

    // A program that ends while the command waits for it: said at once, not as a time-out.
    EndingObject ending("tapestrel-ending");
    const QString endingName = serviceName + "Ending";
    {
        // Only the bus's own list holds the connection, so that leaving the bus closes it.
        QDBusConnection endingBus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "tapestrel-ending");
        ASSERT_TRUE(endingBus.registerVirtualObject(AutomationService::objectPath, &ending));
        ASSERT_TRUE(endingBus.registerService(endingName));
    }
    clock.restart();
    Result ended;
    const QByteArray warnings =
        TestSupport::standardErrorOf([&] { ended = tapestrel({"list"}, {}, endingName); });
    EXPECT_EQ(ended.exitCode, 1);
    EXPECT_EQ(ended.err, "tapestrel: Tapestrel ended before it could answer.\n");
    EXPECT_EQ(warnings, ""); // the command's own message alone, no warning of Qt's before it
    EXPECT_LT(clock.elapsed(), 10000);

    // No program runs and none can be started without a display: said at once, nothing launched.
    QDBusConnection::sessionBus().unregisterService(serviceName);
    {
        const TestSupport::ScopedVariable noX11("DISPLAY", {}), noWayland("WAYLAND_DISPLAY", {}),
            noPlatform("QT_QPA_PLATFORM", {});
        const Result headless = tapestrel({"list"});
        EXPECT_EQ(headless.exitCode, 1);
        EXPECT_EQ(headless.err,
                  "tapestrel: Tapestrel is not running, and it cannot be started without a display.\n");
        EXPECT_EQ(launches, 0);
    }
}
