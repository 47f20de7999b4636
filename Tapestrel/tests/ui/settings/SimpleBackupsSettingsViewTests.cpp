#include "KivBackups/BackupManager.h"
#include "KivBackups/ui/BackupListView.h"
#include "Tapestrel/backup/TapestrelBackupHandler.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/ui/settings/SimpleBackupsSettingsView.h"
#include "platform/Alerts.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

using TestSupport::runTask;

namespace {

class SimpleBackupsSettings : public TestSupport::TempHomeTest
{
protected:
    QStringList profileNames()
    {
        const std::unique_ptr<ModelContext> context = container.makeContext();
        QStringList names;
        for (const Profile *profile : context->fetchProfiles())
            names.append(profile->name());
        return names;
    }

    ModelContainer container {home.filePath("data/data.sqlite")};
    ModelContext *context = container.mainContext();
    KivBackups::BackupManager manager {
        {home.filePath("data/backups"), "tapback"},
        std::make_shared<TapestrelBackupHandler>(context, "profiles.json", "backgrounds.json")};
    Platform::ScriptedAlertAnswerer alerts;
};

} // namespace

TEST_F(SimpleBackupsSettings, PageHoldsTheListOfTheManagerAndRestoresAfterABackup)
{
    SimpleBackupsSettingsView page(manager);
    KivBackups::BackupListView *list = page.backupListView();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->backupManager(), &manager);

    // The profiles as they were, in a backup the planner would make.
    context->insert(std::make_unique<Profile>("Work"));
    context->save();
    runTask(manager.makeBackup(false));
    ASSERT_EQ(list->rows().size(), 1);
    page.resize(600, 400);
    TestSupport::saveScreenshot(&page, "settings/backups");

    context->fetchProfiles()[0]->setName("Changed");
    context->insert(std::make_unique<Profile>("Later"));
    context->save();

    // Restoring from the page keeps the current profiles in a locked backup, then brings the old
    // ones back.
    QSignalSpy finished(list, &KivBackups::BackupListView::actionFinished);
    list->setSelectedBackups({manager.backups()[0]});
    alerts.answer("Restore");
    list->restoreButton()->click();
    ASSERT_TRUE(finished.wait(10000));
    TestSupport::spinEventLoop(std::chrono::milliseconds(20));
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts()[0].informativeText, SimpleBackupsSettingsView::restoreMessage());

    QStringList restored = profileNames();
    restored.sort();
    EXPECT_EQ(restored, QStringList({"Later", "Work"}));
    ASSERT_EQ(manager.backups().size(), 2);
    const KivBackups::Backup kept =
        manager.backups()[1].isLocked ? manager.backups()[1] : manager.backups()[0];
    ASSERT_TRUE(kept.isLocked);

    // That backup holds what the restore replaced.
    runTask(manager.restore(kept));
    restored = profileNames();
    restored.sort();
    EXPECT_EQ(restored, QStringList({"Changed", "Later"}));
}
