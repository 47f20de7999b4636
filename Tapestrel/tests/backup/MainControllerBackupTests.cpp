#include "KivApp/ProgramEnd.h"
#include "KivBackups/BackupManager.h"
#include "KivBackups/BackupPlanner.h"
#include "KivDesktopBackground/Background.h"
#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/backup/TapestrelBackupHandler.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"
#include "Tapestrel/model/AutosaveController.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/StoreConnection.h"
#include "Tapestrel/model/StoreMerge.h"
#include "Tapestrel/tests/automation/RunningProgram.h"
#include "platform/Alerts.h"
#include "platform/UserDefaults.h"
#include "testsupport/CapturedStandardError.h"
#include "testsupport/SessionSave.h"
#include "testsupport/SilentDecoders.h"
#include "testsupport/XSessionManager.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <optional>
#include <thread>

#include <sqlite3.h>

#include <unistd.h>

namespace {

using MainControllerBackups = TestSupport::TempHomeTest;
using KivDesktopBackground::Background;

// The program's own controller over a store large enough for a restore to take a while, with a locked
// backup of it made before "Backed up" was renamed "Renamed"; scripts reach it on a bus of their own.
class ProgramEndTest : public MainControllerBackups
{
protected:
    void SetUp() override { ASSERT_TRUE(AutomationTests::askNothing(home)); }

    // The program's own: a profile made by a script reads the settings through its registries.
    Tapestrel &controller() { return Tapestrel::shared(); }
    ModelContext *context() { return controller().modelContainer().mainContext(); }

    KivBackups::Backup backupToRestore(int profiles)
    {
        while (context()->fetchProfiles().size() < profiles) {
            Profile *profile = context()->insert(std::make_unique<Profile>("Many"));
            for (int option = 0; option < 10; ++option)
                profile->findOrCreateOption(QString::number(option))->setValue("v");
        }
        Profile *backedUp = context()->insert(std::make_unique<Profile>("Backed up"));
        context()->save();
        KivBackups::BackupManager &manager = controller().backupManager();
        const QList<KivBackups::Backup> earlier = manager.backups();
        TestSupport::runTask(manager.makeBackup(true), std::chrono::seconds(60));
        backedUp->setName("Renamed");
        context()->save();
        for (const KivBackups::Backup &backup : manager.backups()) {
            if (backup.isLocked && !earlier.contains(backup))
                return backup;
        }
        ADD_FAILURE() << "no backup was made";
        return {};
    }

    QStringList stored() { return AutomationTests::storedNames(controller().modelContainer().filePath()); }

    static QDBusPendingCall create(const QDBusConnection &script, const QString &name)
    {
        return AutomationTests::scriptCall(script, "CreateProfile", {name});
    }
};

// Work of a merge that takes about six seconds before it writes `form`: what it runs until then stops
// where the work is abandoned.
RowMoves slowMerge(const QString &storePath, const ProfileForm &form)
{
    sqlite3 *database = StoreConnection::openExisting(storePath);
    sqlite3_create_function(
        database, "pause", 0, SQLITE_UTF8, nullptr,
        [](sqlite3_context *context, int, sqlite3_value **) {
            QThread::usleep(1000);
            sqlite3_result_int(context, 1);
        },
        nullptr, nullptr);
    const int ran =
        sqlite3_exec(database,
                     "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 6000) "
                     "SELECT count(pause()) FROM c",
                     nullptr, nullptr, nullptr);
    sqlite3_close(database);
    if (ran != SQLITE_OK)
        throw ModelStoreError(ModelError::Code::StoreUnavailable, QStringLiteral("stopped"));
    return StoreMerge::merge(storePath, {form}, {}, true);
}

} // namespace

TEST_F(MainControllerBackups, AutomaticBackupsAndTheDataResetWorkOnTheProgramsStore)
{
    Tapestrel controller;
    EXPECT_TRUE(controller.paths().basePath().startsWith(home.path()));
    KivBackups::BackupManager &manager = controller.backupManager();
    const auto profiles = [&controller] {
        QStringList all;
        for (const Profile *profile : controller.modelContainer().mainContext()->fetchProfiles())
            all.append(profile->uuid() + ' ' + profile->name());
        return all;
    };
    controller.modelContainer().mainContext()->insert(std::make_unique<Profile>("Kept"));
    controller.modelContainer().mainContext()->save();

    QSignalSpy passes(controller.backupPlanner(), &KivBackups::BackupPlanner::passFinished);
    ASSERT_TRUE(passes.wait(5000));
    ASSERT_EQ(manager.backups().size(), 1);
    EXPECT_FALSE(manager.backups()[0].isLocked);
    const QStringList before = profiles();
    ASSERT_TRUE(before.join(',').contains(" Kept"));

    TestSupport::runTask(controller.dataResetController().reset());
    QList<KivBackups::Backup> locked = manager.backups();
    locked.removeIf([](const KivBackups::Backup &backup) { return !backup.isLocked; });
    ASSERT_EQ(locked.size(), 1);
    EXPECT_TRUE(profiles().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(controller.paths().path(Tapestrel::Path::data)));
    ASSERT_NE(controller.autosaveController().timer(), nullptr);
    EXPECT_TRUE(controller.autosaveController().timer()->isActive());
    EXPECT_EQ(controller.autosaveController().modelContainer(), &controller.modelContainer());

    TestSupport::runTask(manager.restore(locked[0]));
    EXPECT_EQ(profiles(), before);
}

// A quit stores what waited for a merge, over what the merge wrote, and a change the autosave has not
// reached yet.
TEST_F(MainControllerBackups, AQuitStoresEveryChangeNotYetStored)
{
    Tapestrel controller;
    ModelContainer &container = controller.modelContainer();
    ModelContext *context = container.mainContext();
    Profile *merged = context->insert(std::make_unique<Profile>("Stored"));
    context->save();
    ProfileForm backup {merged->uuid(), "From the backup", true, {}};
    QCoro::Task<void> merging = container.merge([backup](const QString &storePath) {
        QThread::msleep(300);
        return StoreMerge::merge(storePath, {backup}, {}, true);
    });
    merged->setName("Edited during the merge");
    context->save();
    context->insert(std::make_unique<Profile>("Made before the quit"));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();

    // Read before the event loop runs again: no event loop runs after a quit.
    QStringList stored;
    const std::unique_ptr<ModelContext> reader = container.makeContext();
    for (const Profile *profile : reader->fetchProfiles())
        stored.append(profile->name());
    EXPECT_TRUE(stored.contains("Edited during the merge")) << stored.join(", ").toStdString();
    EXPECT_TRUE(stored.contains("Made before the quit")) << stored.join(", ").toStdString();
    TestSupport::runTask(std::move(merging));
}

// However the program is ended (a signal, the session bus going away, Quit, the session manager's save
// and then its end) while a restore is asked and scripts' creates and an edit of the window wait for
// it, the end stores the edit and the creates and answers each script before the event loop returns;
// the restore is abandoned whole (the session manager's save waits for it, so it is done by then); a
// request that comes once the end has begun is answered at once that it was not done, and so is an
// apply under way, which ends with its picture's decoding process and applies no more.
TEST_F(ProgramEndTest, EveryEndStoresTheRestoreAndWhatWaitedAndAnswersTheScripts)
{
    enum class End { signal, busGone, quit, sessionSave };
    const struct
    {
        const char *what;
        End end;
        int signal = 0;
        int scripts = 1;
        bool apply = false;
    } rows[] = {
        {"SIGTERM", End::signal, SIGTERM, 20, true},
        // Nothing else waits for the restore.
        {"SIGTERM, no script", End::signal, SIGTERM, 0},
        {"SIGINT", End::signal, SIGINT},
        {"SIGHUP", End::signal, SIGHUP},
        {"the session bus going away", End::busGone},
        {"Quit", End::quit, 0, 20},
        {"the session manager's save, then its end", End::sessionSave, 0, 2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const QString name = QString::fromUtf8(row.what);
        TestSupport::PrivateSessionBus bus;
        ASSERT_TRUE(bus.isRunning());
        const KivBackups::Backup backup = backupToRestore(2000);
        KivBackups::BackupManager &manager = controller().backupManager();

        KivApp::ProgramEnd end(std::chrono::seconds(20));
        end.catchSignals();
        end.followSessionManager();
        end.watchBus(bus.connection());
        end.followQuits();
        AutomationService service(context());
        ASSERT_TRUE(service.registerOn(bus.connection()));
        controller().joinEnd(end, &service);
        if (row.end == End::sessionSave) {
            // An edit that no save has written yet, nor will the autosave: the session's save does.
            const_cast<QTimer *>(controller().autosaveController().timer())->stop();
            context()->insert(std::make_unique<Profile>("Unsaved " + name));
            TestSupport::raiseSessionSave();
            EXPECT_TRUE(stored().contains("Unsaved " + name));
            const_cast<QTimer *>(controller().autosaveController().timer())->start();
        }

        // An apply whose picture decodes for a minute, and which would set the accent colour after it.
        std::optional<TestSupport::SilentDecoders> decoders;
        std::optional<QDBusPendingCall> applied;
        bool appliedDuringTheRestore = false;
        const QDBusConnection script = QDBusConnection::connectToBus(bus.address(), "script");
        if (row.apply) {
            decoders.emplace(home, 60);
            Profile *slow = context()->insert(std::make_unique<Profile>("Slow " + name));
            slow->findOrCreateOption("system.desktop.background.picture")
                ->setValue(
                    Background::image(QUrl::fromLocalFile(home.filePath("Pictures/Wall.png"))).rawValue());
            slow->findOrCreateOption("system.ui.accentColor")->setValue("red");
            for (Option *option : slow->options())
                option->setEnabled(true);
            context()->save();
            applied = AutomationTests::scriptCall(script, "ApplyProfile", {slow->uuid()});
            ASSERT_TRUE(
                TestSupport::waitUntil([&] { return decoders->started() > 0; }, std::chrono::seconds(30)));
            QObject::connect(new QDBusPendingCallWatcher(*applied, &end), &QDBusPendingCallWatcher::finished,
                             &end, [&] { appliedDuringTheRestore = manager.isRestoring(); });
        }

        QCoro::Task<QStringList> restoring = manager.restore(backup);
        context()->insert(std::make_unique<Profile>("Window " + name));
        context()->save();
        QList<QDBusPendingCall> created;
        for (int index = 0; index < row.scripts; ++index)
            created.append(create(script, QStringLiteral("Script %1 %2").arg(name).arg(index)));
        // Every create taken (its profile is inserted at once): one that comes after the end began is
        // refused.
        ASSERT_TRUE(TestSupport::waitUntil([&] {
            qsizetype taken = 0;
            for (const Profile *profile : context()->fetchProfiles())
                taken += profile->name().startsWith("Script " + name + ' ');
            return taken == row.scripts;
        }));
        ASSERT_TRUE(manager.isRestoring()) << "the restore ended before the end began";

        // Sent once the end has begun.
        std::optional<QDBusPendingCall> late;
        QObject::connect(&end, &KivApp::ProgramEnd::ending, &end, [&] {
            if (row.end != End::busGone)
                late = create(script, "Late " + name);
        });
        QStringList savedForTheSession;
        switch (row.end) {
        case End::signal:
            ::kill(::getpid(), row.signal);
            break;
        case End::busGone:
            bus.stop();
            break;
        case End::quit:
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            break;
        case End::sessionSave:
            QTimer::singleShot(0, qApp, [&] {
                TestSupport::raiseSessionSave();
                // Stored by the time the request returns, and the program goes on.
                savedForTheSession = stored();
                EXPECT_FALSE(end.isEnding());
                // Its end, the "die", comes as a quit.
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            });
            break;
        }
        const QString said = QString::fromUtf8(
            TestSupport::standardErrorOf([] { EXPECT_EQ(TestSupport::runUntilExit(), 0); }));
        // Answered before the end, as no event loop runs after it; a call that comes in the last
        // moments too.
        EXPECT_FALSE(service.isAnswering());
        if (row.end != End::busGone) {
            const QDBusMessage lastMoments = script.call(
                QDBusMessage::createMethodCall(AutomationService::serviceName, AutomationService::objectPath,
                                               AutomationService::interfaceName, "ListProfiles"),
                QDBus::Block, 5000);
            EXPECT_EQ(lastMoments.errorMessage(), AutomationService::endedText());
        }

        const QStringList names = stored();
        const auto restoredWithTheEdit = [&name](const QStringList &names) {
            return names.contains("Backed up") && !names.contains("Renamed")
                && names.contains("Window " + name);
        };
        const bool asBefore = !names.contains("Backed up") && names.contains("Renamed");
        EXPECT_TRUE(names.contains("Window " + name)) << names.join(", ").toStdString();
        EXPECT_TRUE(restoredWithTheEdit(names) || asBefore) << "restored in part";
        EXPECT_EQ(said.contains("was not restored"), asBefore) << said.toStdString();
        EXPECT_TRUE(row.end != End::sessionSave || restoredWithTheEdit(savedForTheSession));
        for (int index = 0; index < row.scripts; ++index) {
            const QString scriptName = QStringLiteral("Script %1 %2").arg(name).arg(index);
            EXPECT_TRUE(names.contains(scriptName)) << scriptName.toStdString();
            EXPECT_TRUE(row.end != End::sessionSave || savedForTheSession.contains(scriptName));
            if (row.end == End::busGone)
                continue;
            QDBusPendingCall &call = created[index];
            EXPECT_TRUE(TestSupport::waitUntil([&] { return call.isFinished(); }, std::chrono::seconds(30)));
            const QDBusPendingReply<QVariantMap> reply = call;
            EXPECT_EQ(reply.value().value("name").toString(), scriptName)
                << reply.error().message().toStdString();
        }
        if (row.end != End::busGone) {
            ASSERT_TRUE(late.has_value()) << "the end did not begin";
            EXPECT_TRUE(TestSupport::waitUntil([&] { return late->isFinished(); }));
            EXPECT_EQ(late->error().message(), AutomationService::endedText());
            EXPECT_FALSE(names.contains("Late " + name));
        }
        if (row.apply) {
            EXPECT_EQ(applied->error().message(), AutomationService::endedText());
            EXPECT_TRUE(appliedDuringTheRestore);
            EXPECT_TRUE(TestSupport::waitUntil([&] { return decoders->runningNow() == 0; }))
                << "the decoding process outlived the end";
            EXPECT_FALSE(
                home.readFile("Library/Preferences/.GlobalPreferences.plist").contains("AppleAccentColor"))
                << "applied after the end began";
            EXPECT_FALSE(said.contains("Slow " + name))
                << "the ended apply was reported: " << said.toStdString();
        }
        QDBusConnection::disconnectFromBus("script");
        try {
            TestSupport::runTask(std::move(restoring));
        } catch (const std::exception &) {
            EXPECT_TRUE(asBefore) << "a restore that failed is said not to be done";
        }
        Platform::UserDefaults::standard().remove("unfinishedRestores");
        // The next row's backup restores this row's name.
        for (Profile *profile : context()->fetchProfiles()) {
            if (profile->name() == "Backed up" || profile->name() == "Renamed")
                context()->remove(profile);
        }
        context()->save();
    }
}

// An end asked for before it is joined, while the start runs an event loop of its own (a question), still
// stores what waits and answers the scripts once it is joined.
TEST_F(ProgramEndTest, AnEndDuringTheStartStoresWhatWaitsAndAnswersTheScripts)
{
    TestSupport::PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    KivApp::ProgramEnd end(std::chrono::seconds(20));
    end.catchSignals();
    AutomationService service(context());
    ASSERT_TRUE(service.registerOn(bus.connection()));
    const_cast<QTimer *>(controller().autosaveController().timer())->stop();
    context()->insert(std::make_unique<Profile>("Unsaved"));
    const QDBusPendingCall created = create(QDBusConnection::connectToBus(bus.address(), "script"), "Script");
    QEventLoop start;
    QTimer::singleShot(0, &start, [&] {
        EXPECT_TRUE(TestSupport::waitUntil([&] { return service.isStoring(); }));
        ::kill(::getpid(), SIGTERM);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return end.hasEnded(); }));
        start.quit();
    });
    start.exec();
    controller().joinEnd(end, &service);
    const_cast<QTimer *>(controller().autosaveController().timer())->start();
    EXPECT_TRUE(stored().contains("Unsaved"));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return created.isFinished(); }, std::chrono::seconds(30)));
    const QDBusPendingReply<QVariantMap> reply = created;
    EXPECT_EQ(stored().contains("Script"), reply.isValid()) << reply.error().message().toStdString();
    EXPECT_EQ(
        (reply.isValid() ? reply.value().value("name").toString() : reply.error().message()).toStdString(),
        (reply.isValid() ? QStringLiteral("Script") : AutomationService::endedText()).toStdString());
    QDBusConnection::disconnectFromBus("script");
}

// The end waits for no merge: at its start it abandons each one whole, however it works (SQL that
// takes long, a wait for another writer's lock, work of its own), with the restore behind it, and
// stores what waited over the store as it was. What the program says of it is true, and the next start
// tells the user once.
TEST_F(ProgramEndTest, TheEndAbandonsMergesWholeAndWhatIsSaidOfItIsTrue)
{
    enum class Merge { slowSql, anotherWritersLock, ownWork };
    for (const Merge kind : {Merge::slowSql, Merge::anotherWritersLock, Merge::ownWork}) {
        SCOPED_TRACE(int(kind));
        TestSupport::PrivateSessionBus bus;
        ASSERT_TRUE(bus.isRunning());
        const KivBackups::Backup backup = backupToRestore(10);
        KivBackups::BackupManager &manager = controller().backupManager();
        ModelContainer &container = controller().modelContainer();
        std::optional<KivApp::ProgramEnd> end(std::in_place, std::chrono::seconds(60));
        end->followQuits();
        std::atomic<bool> endBegan = false;
        QElapsedTimer clock;
        QObject::connect(&*end, &KivApp::ProgramEnd::ending, [&] {
            endBegan = true;
            clock.start();
        });
        AutomationService service(context());
        ASSERT_TRUE(service.registerOn(bus.connection()));
        controller().joinEnd(*end, &service);

        // Another writer holds the store's lock from before the merge until a while after the end
        // began: the end's own write waits for it, the merge is not waited for.
        std::thread writer;
        if (kind == Merge::anotherWritersLock) {
            std::atomic<bool> locked = false;
            writer = std::thread([&, path = container.filePath()] {
                sqlite3 *database = StoreConnection::openExisting(path);
                locked = sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
                for (int waited = 0; !endBegan && waited < 60000; waited += 10)
                    QThread::msleep(10);
                QThread::msleep(1000);
                sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
                sqlite3_close(database);
            });
            ASSERT_TRUE(TestSupport::waitUntil([&] { return locked.load(); }));
        }
        ProfileForm slowly {QUuid::createUuid().toString(QUuid::WithoutBraces), "Merged slowly", true, {}};
        QCoro::Task<void> merging = container.merge([slowly, kind](const QString &storePath) {
            if (kind == Merge::slowSql)
                return slowMerge(storePath, slowly);
            if (kind == Merge::ownWork)
                QThread::sleep(12);
            return StoreMerge::merge(storePath, {slowly}, {}, true);
        });
        QCoro::Task<QStringList> restoring = manager.restore(backup);
        context()->insert(std::make_unique<Profile>("Window"));
        context()->save();
        QDBusPendingCall created = create(QDBusConnection::connectToBus(bus.address(), "script"), "Script");
        ASSERT_TRUE(TestSupport::waitUntil([&] { return service.isStoring(); }));

        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        const QString said = QString::fromUtf8(
            TestSupport::standardErrorOf([] { EXPECT_EQ(TestSupport::runUntilExit(), 0); }));
        EXPECT_LT(clock.elapsed(), 5000) << "the merge was waited for";
        if (writer.joinable())
            writer.join();

        const QStringList names = stored();
        EXPECT_TRUE(names.contains("Window"));
        EXPECT_TRUE(names.contains("Script"));
        EXPECT_FALSE(names.contains("Merged slowly"));
        EXPECT_TRUE(names.contains("Renamed") && !names.contains("Backed up")) << "restored in part";
        EXPECT_TRUE(said.contains("The backup “" + backup.url.fileName() + "” was not restored"))
            << said.toStdString();
        EXPECT_TRUE(TestSupport::waitUntil([&] { return created.isFinished(); }, std::chrono::seconds(30)));
        EXPECT_EQ(QDBusPendingReply<QVariantMap>(created).value().value("name").toString(), "Script");
        QDBusConnection::disconnectFromBus("script");
        EXPECT_ANY_THROW(TestSupport::runTask(std::move(merging), std::chrono::seconds(60)));
        EXPECT_ANY_THROW(TestSupport::runTask(std::move(restoring)));
        end.reset();

        // The next start says so, once, naming the backup and how to restore it again.
        Platform::ScriptedAlertAnswerer alerts;
        for (int start = 0; start < 2; ++start) {
            Tapestrel next;
            TestSupport::spinEventLoop(std::chrono::milliseconds(300));
        }
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts()[0].message, "The backup “" + backup.url.fileName() + "” was not restored.");
        EXPECT_TRUE(alerts.alerts()[0].informativeText.contains("Settings › Backups"));
    }
}

// What the end must store survives however the process goes: when the X display goes away first (the
// toolkit then ends the process itself), when the process leaves right after its event loop, when it
// is killed two seconds after it was asked to end while it hardly runs (a busy machine), and when the
// session manager goes away without a word (its library would end the process). A window's edit and
// the scripts' profiles that waited are stored, every answer a script has is true of the store, the
// store holds the restore whole or not at all, and a restore not done is told at the next start, once.
TEST_F(ProgramEndTest, WhatWaitedIsStoredHoweverTheProcessGoesAndEveryAnswerIsTrue)
{
    // A restore long enough to be under way when the process goes.
    constexpr int restored = 5000;
    const QString storePath = Tapestrel::storePath();
    const auto removeAll = [&storePath] {
        ModelContainer store(storePath);
        for (Profile *profile : store.mainContext()->fetchProfiles())
            store.mainContext()->remove(profile);
        store.mainContext()->save();
    };
    QString backup;
    {
        ModelContainer store(storePath);
        for (int index = 0; index < restored; ++index) {
            Profile *profile = store.mainContext()->insert(std::make_unique<Profile>("Restored"));
            for (int option = 0; option < 20; ++option)
                profile->findOrCreateOption(QString::number(option))->setValue("v");
        }
        store.mainContext()->save();
        KivBackups::BackupManager manager({QFileInfo(storePath).absolutePath() + "/backups", "tapback"},
                                          std::make_shared<TapestrelBackupHandler>(
                                              store.mainContext(), "profiles.json", "backgrounds.json"));
        TestSupport::runTask(manager.makeBackup(true), std::chrono::seconds(120));
        backup = manager.backups().value(0).url.fileName();
    }
    removeAll();

    enum class Going { displayGoes, leavesAfterItsLoop, killedWhileSlowed, sessionManagerGoes, sessionLost };
    const struct
    {
        const char *what;
        Going going;
        bool restores = true;
        int scripts = 1;
    } rows[] = {
        {"the display goes first", Going::displayGoes, true, 20},
        {"the display goes first, no restore", Going::displayGoes, false, 20},
        {"the process leaves right after its loop", Going::leavesAfterItsLoop},
        {"killed 2 s after SIGTERM, hardly running", Going::killedWhileSlowed},
        {"the session manager goes during its save", Going::sessionManagerGoes},
        {"the session manager goes after its save", Going::sessionLost, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const bool managed = row.going == Going::sessionManagerGoes || row.going == Going::sessionLost;
        if (managed && !TestSupport::XSessionManager::isInstalled()) {
            ADD_FAILURE() << "no xsm (x11-session-utils)";
            continue;
        }
        TestSupport::PrivateSessionBus bus;
        ASSERT_TRUE(bus.isRunning());
        bus.killOwnersAtEnd({AutomationService::serviceName});
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        QProcess xServer;
        TestSupport::XSessionManager manager;
        if (row.going == Going::displayGoes || managed) {
            xServer.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
            ASSERT_TRUE(xServer.waitForStarted(10000)) << "no Xvfb";
            ASSERT_TRUE(
                TestSupport::waitUntil([&] { return xServer.canReadLine(); }, std::chrono::seconds(30)));
            environment.insert("DISPLAY", ":" + QString::fromLatin1(xServer.readLine().trimmed()));
            environment.insert("QT_QPA_PLATFORM", "xcb");
        }
        if (managed) {
            ASSERT_TRUE(manager.start(home.filePath("session"), environment))
                << manager.process.readAll().toStdString();
            manager.addTo(environment);
        }
        QProcess rehearsal;
        rehearsal.setProcessEnvironment(environment);
        rehearsal.start(QCoreApplication::applicationDirPath() + "/end-rehearsal",
                        {row.restores ? backup : "-"});
        ASSERT_TRUE(bus.waitForOwner(AutomationService::serviceName, rehearsal))
            << rehearsal.readAllStandardError().toStdString();
        QList<QDBusPendingCall> created;
        for (int index = 0; index < row.scripts; ++index)
            created.append(create(bus.connection(), QStringLiteral("Script %1").arg(index)));
        ASSERT_TRUE(
            TestSupport::waitUntil([&] { return rehearsal.canReadLine(); }, std::chrono::seconds(60)));
        ASSERT_EQ(rehearsal.readLine(), "ready\n") << "the restore ended before a script's profile waited";

        switch (row.going) {
        case Going::displayGoes:
            xServer.kill();
            xServer.waitForFinished(10000);
            break;
        case Going::leavesAfterItsLoop:
            TestSupport::sendSignal(rehearsal, SIGTERM);
            break;
        case Going::killedWhileSlowed: {
            // Stopped nine tenths of the time, as a loaded machine runs it, from before the signal.
            std::atomic<bool> slowing = true;
            std::thread slower([&slowing, pid = pid_t(rehearsal.processId())] {
                while (slowing) {
                    ::kill(pid, SIGSTOP);
                    QThread::msleep(90);
                    ::kill(pid, SIGCONT);
                    QThread::msleep(10);
                }
            });
            QThread::msleep(300);
            TestSupport::sendSignal(rehearsal, SIGTERM);
            QThread::msleep(2000);
            slowing = false;
            slower.join();
            TestSupport::sendSignal(rehearsal, SIGKILL);
            break;
        }
        case Going::sessionManagerGoes:
            // During its save (the one it asks every client for as it comes) the manager's going is the
            // session's end; otherwise the program goes on without a session, and ends when asked.
            manager.process.kill();
            manager.process.waitForFinished(10000);
            if (!rehearsal.waitForFinished(2000))
                TestSupport::sendSignal(rehearsal, SIGTERM);
            break;
        case Going::sessionLost: {
            // Once a save (a checkpoint) is done, the manager's going ends nothing, and the program does
            // not busy itself with the connection that is gone.
            TestSupport::sendSignal(manager.process, SIGUSR1);
            ASSERT_TRUE(manager.savedAll(1)) << manager.said.toStdString();
            manager.process.kill();
            manager.process.waitForFinished(10000);
            const auto cpuTime = [pid = rehearsal.processId()] {
                QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
                const QList<QByteArray> fields =
                    stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ') : QList<QByteArray>();
                return fields.value(13).toLongLong() + fields.value(14).toLongLong();
            };
            const qint64 before = cpuTime();
            EXPECT_FALSE(rehearsal.waitForFinished(2000));
            EXPECT_LT(cpuTime() - before, ::sysconf(_SC_CLK_TCK)) << "a second of work in two";
            TestSupport::sendSignal(rehearsal, SIGTERM);
            break;
        }
        }
        ASSERT_TRUE(rehearsal.state() == QProcess::NotRunning || rehearsal.waitForFinished(60000));
        const QByteArray said = rehearsal.readAllStandardError();
        const bool killed = row.going == Going::killedWhileSlowed;
        EXPECT_TRUE(killed || rehearsal.exitCode() == (row.going == Going::displayGoes ? 1 : 0))
            << said.toStdString();
        EXPECT_EQ(said.contains("The X11 connection broke"), row.going == Going::displayGoes)
            << said.toStdString();
        EXPECT_EQ(said.contains("Tapestrel goes on without a session"), row.going == Going::sessionLost)
            << said.toStdString();

        const QStringList names = AutomationTests::storedNames(storePath);
        EXPECT_TRUE(names.contains("Window edit"));
        for (int index = 0; index < row.scripts; ++index) {
            const QString name = QStringLiteral("Script %1").arg(index);
            QDBusPendingCall &call = created[index];
            if (killed) {
                EXPECT_EQ(names.count(name), 1) << name.toStdString();
                continue;
            }
            EXPECT_TRUE(TestSupport::waitUntil([&] { return call.isFinished(); }, std::chrono::seconds(10)));
            const QDBusPendingReply<QVariantMap> reply = call;
            EXPECT_EQ((reply.isValid() ? reply.value().value("name").toString() : reply.error().message())
                          .toStdString(),
                      (reply.isValid() ? name : AutomationService::endedText()).toStdString());
            EXPECT_EQ(names.count(name), reply.isValid() ? 1 : 0)
                << name.toStdString() << ": " << reply.error().message().toStdString();
        }
        const qsizetype restoredNow = names.count("Restored");
        EXPECT_TRUE(restoredNow == (row.restores ? restored : 0) || restoredNow == 0) << restoredNow;
        const bool undone = row.restores && restoredNow == 0;
        EXPECT_TRUE(killed || said.contains("was not restored") == undone) << said.toStdString();

        // Told at the next start, once.
        if (!killed) {
            Platform::ScriptedAlertAnswerer alerts;
            for (int start = 0; start < 2; ++start) {
                Tapestrel next;
                TestSupport::spinEventLoop(std::chrono::milliseconds(300));
            }
            EXPECT_EQ(alerts.alerts().size(), undone ? 1 : 0);
        }
        Platform::UserDefaults::standard().remove("unfinishedRestores");
        removeAll();
    }
}
