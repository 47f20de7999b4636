#include "KivApp/ProgramEnd.h"
#include "KivBackups/BackupManager.h"
#include "KivBackups/BackupPlanner.h"
#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"
#include "Tapestrel/model/AutosaveController.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/StoreMerge.h"
#include "platform/UserDefaults.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

#include <unistd.h>

namespace {

using MainControllerBackups = TestSupport::TempHomeTest;

} // namespace

TEST_F(MainControllerBackups, AutomaticBackupsAndTheDataResetWorkOnTheProgramsStore)
{
    Tapestrel controller;
    EXPECT_TRUE(controller.paths().basePath().startsWith(home.path()));
    EXPECT_TRUE(QFileInfo::exists(controller.paths().path(Tapestrel::Path::data)));
    KivBackups::BackupManager &manager = controller.backupManager();
    KivBackups::BackupPlanner *planner = controller.backupPlanner();
    ASSERT_NE(planner, nullptr);
    EXPECT_EQ(planner->backupManager(), &manager);

    controller.modelContainer().mainContext()->insert(std::make_unique<Profile>("Kept"));
    controller.modelContainer().mainContext()->save();

    QSignalSpy passes(planner, &KivBackups::BackupPlanner::passFinished);
    ASSERT_TRUE(passes.wait(5000));
    ASSERT_EQ(manager.backups().size(), 1);
    EXPECT_FALSE(manager.backups()[0].isLocked);

    QStringList before;
    for (const Profile *profile : controller.modelContainer().mainContext()->fetchProfiles())
        before.append(profile->uuid() + ' ' + profile->name());
    ASSERT_TRUE(before.join(',').contains(" Kept"));

    TestSupport::runTask(controller.dataResetController().reset());
    QStringList locked;
    for (const KivBackups::Backup &backup : manager.backups()) {
        if (backup.isLocked)
            locked.append(backup.url.fileName());
    }
    EXPECT_EQ(locked.size(), 1);
    EXPECT_TRUE(controller.modelContainer().mainContext()->fetchProfiles().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(controller.paths().path(Tapestrel::Path::data)));
    ASSERT_NE(controller.autosaveController().timer(), nullptr);
    EXPECT_TRUE(controller.autosaveController().timer()->isActive());
    EXPECT_EQ(controller.autosaveController().modelContainer(), &controller.modelContainer());

    const auto lockedBackup = std::find_if(manager.backups().begin(), manager.backups().end(),
                                           [](const KivBackups::Backup &backup) { return backup.isLocked; });
    ASSERT_NE(lockedBackup, manager.backups().end()) << "no locked backup was made";
    TestSupport::runTask(manager.restore(*lockedBackup));
    QStringList restored;
    for (const Profile *profile : controller.modelContainer().mainContext()->fetchProfiles())
        restored.append(profile->uuid() + ' ' + profile->name());
    EXPECT_EQ(restored, before);
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

// However the program is ended (a signal, the session bus going away, Quit) while a restore is asked
// and a script's create and an edit of the window wait for it, the end waits for them, stores all of
// them and answers the script before the event loop returns.
TEST_F(MainControllerBackups, EveryEndStoresTheRestoreAndWhatWaitedAndAnswersTheScript)
{
    // Nothing may wait for a person: reading the current settings for the script's profile shows no
    // alert.
    Platform::UserDefaults::standard().setValue("didApplyAnyProfile", true);
    const QString picture = home.filePath("Pictures/Wall.png");
    QDir().mkpath(QFileInfo(picture).absolutePath());
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(picture));
    Platform::UserDefaults::suite("com.apple.desktop")
        ->setValue("Background", QVariantMap {{"default", QVariantMap {{"ImageFilePath", picture}}}});

    enum class End { signal, busGone, quit };
    const struct
    {
        const char *what;
        End end;
        int signal = 0;
        bool script = true;
    } rows[] = {
        {"SIGTERM", End::signal, SIGTERM},
        // Nothing else waits for the restore.
        {"SIGTERM, no script", End::signal, SIGTERM, false},
        {"SIGINT", End::signal, SIGINT},
        {"SIGHUP", End::signal, SIGHUP},
        {"the session bus going away", End::busGone},
        {"Quit", End::quit},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const QString name = QString::fromUtf8(row.what);
        TestSupport::PrivateSessionBus bus;
        ASSERT_TRUE(bus.isRunning());
        // The program's own: a profile made by a script reads the settings through its registries.
        Tapestrel &controller = Tapestrel::shared();
        ModelContext *context = controller.modelContainer().mainContext();
        // Enough for the restore to take a while.
        while (context->fetchProfiles().size() < 2000) {
            Profile *profile = context->insert(std::make_unique<Profile>("Many"));
            for (int option = 0; option < 10; ++option)
                profile->findOrCreateOption(QString::number(option))->setValue("v");
        }
        Profile *backedUp = context->insert(std::make_unique<Profile>("Backed up"));
        context->save();
        KivBackups::BackupManager &manager = controller.backupManager();
        const QList<KivBackups::Backup> earlier = manager.backups();
        TestSupport::runTask(manager.makeBackup(true), std::chrono::seconds(60));
        const auto made = std::find_if(
            manager.backups().cbegin(), manager.backups().cend(),
            [&](const KivBackups::Backup &backup) { return backup.isLocked && !earlier.contains(backup); });
        ASSERT_NE(made, manager.backups().cend());
        const KivBackups::Backup backup = *made;
        backedUp->setName("Renamed");
        context->save();

        KivApp::ProgramEnd end(std::chrono::seconds(20));
        end.catchSignals();
        end.watchBus(bus.connection());
        end.followQuits();
        AutomationService service(context);
        ASSERT_TRUE(service.registerOn(bus.connection()));
        controller.joinEnd(end, &service);

        QCoro::Task<QStringList> restoring = manager.restore(backup);
        context->insert(std::make_unique<Profile>("Window " + name));
        context->save();
        QDBusPendingReply<QVariantMap> created;
        if (row.script) {
            created = QDBusConnection::connectToBus(bus.address(), "script")
                          .asyncCall(QDBusMessage::createMethodCall(
                                         AutomationService::serviceName, AutomationService::objectPath,
                                         AutomationService::interfaceName, "CreateProfile")
                                     << "Script " + name);
            ASSERT_TRUE(TestSupport::waitUntil([&] { return service.isAnswering(); }));
        }
        ASSERT_TRUE(manager.isRestoring()) << "the restore ended before the end began";
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
        }
        // An end that never comes fails the row instead of the whole run.
        QTimer neverEnded;
        neverEnded.setSingleShot(true);
        QObject::connect(&neverEnded, &QTimer::timeout, [] {
            ADD_FAILURE() << "the program did not end";
            QCoreApplication::exit(1);
        });
        neverEnded.start(std::chrono::minutes(3));
        QCoreApplication::exec();
        // Answered before the end, as no event loop runs after it.
        EXPECT_FALSE(service.isAnswering());

        // As the next start finds it.
        QStringList stored;
        {
            ModelContainer restarted(controller.modelContainer().filePath());
            for (const Profile *profile : restarted.mainContext()->fetchProfiles())
                stored.append(profile->name());
        }
        EXPECT_TRUE(stored.contains("Backed up") && !stored.contains("Renamed")) << "not restored";
        EXPECT_TRUE(stored.contains("Window " + name));
        EXPECT_EQ(stored.contains("Script " + name), row.script);
        if (row.script && row.end != End::busGone) {
            EXPECT_TRUE(
                TestSupport::waitUntil([&] { return created.isFinished(); }, std::chrono::seconds(30)));
            EXPECT_EQ(created.value().value("name").toString(), "Script " + name)
                << created.error().name().toStdString();
        }
        QDBusConnection::disconnectFromBus("script");
        TestSupport::runTask(std::move(restoring));
        // The next row's backup restores this row's name.
        for (Profile *profile : context->fetchProfiles()) {
            if (profile->name() == "Backed up")
                context->remove(profile);
        }
        context->save();
    }
}
