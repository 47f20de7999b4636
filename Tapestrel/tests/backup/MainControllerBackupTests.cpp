#include "KivBackups/BackupManager.h"
#include "KivBackups/BackupPlanner.h"
#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/backup/TapestrelDataResetController.h"
#include "Tapestrel/model/AutosaveController.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/StoreMerge.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

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
    // Whatever the merge does once the program is gone is done.
    TestSupport::runTask(std::move(merging));

    QStringList stored;
    const std::unique_ptr<ModelContext> reader = container.makeContext();
    for (const Profile *profile : reader->fetchProfiles())
        stored.append(profile->name());
    EXPECT_TRUE(stored.contains("Edited during the merge")) << stored.join(", ").toStdString();
    EXPECT_TRUE(stored.contains("Made before the quit")) << stored.join(", ").toStdString();
}
