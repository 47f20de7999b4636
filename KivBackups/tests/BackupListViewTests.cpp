#include "KivBackups/BackupManager.h"
#include "KivBackups/FileOperations.h"
#include "KivBackups/tests/BackupTestSupport.h"
#include "KivBackups/ui/BackupActions.h"
#include "KivBackups/ui/BackupListView.h"
#include "KivBackups/ui/BackupRowView.h"
#include "KivBackups/ui/FileRevealer.h"
#include "platform/Alerts.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>

using namespace KivBackups;
using BackupTests::FakeBackupHandler;
using namespace std::chrono_literals;

namespace {

const QDateTime noon = QDateTime(QDate(2024, 3, 15), QTime(12, 0, 0));
const QString restoreText = QStringLiteral("Everything will be replaced.");

class BackupListViewTest : public TestSupport::TempHomeTest
{
protected:
    BackupListViewTest()
    {
        manager.setClock([this] { return now; });
        FileRevealer::setHandler([this](const QList<QUrl> &files) { revealed.append(files); });
    }
    ~BackupListViewTest() override { FileRevealer::setHandler({}); }

    QString folder() const { return home.filePath("backups"); }
    QStringList filesInFolder() const
    {
        return QDir(folder()).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Backup files made behind the manager's back, then listed.
    void addFiles(const QStringList &names)
    {
        for (const QString &name : names)
            home.writeFile("backups/" + name + ".tapback", "zip");
        TestSupport::runTask(manager.reload());
    }
    Backup backupNamed(const QString &name) const
    {
        for (const Backup &backup : manager.backups()) {
            if (backup.url.fileName() == name + ".tapback")
                return backup;
        }
        ADD_FAILURE() << "no backup " << name.toStdString();
        return {};
    }
    QSet<Backup> backupsNamed(const QStringList &names) const
    {
        QSet<Backup> result;
        for (const QString &name : names)
            result.insert(backupNamed(name));
        return result;
    }
    // Waits for the action the list started, then for the alert it may show.
    void waitForAction(QSignalSpy &finished, int count = 1)
    {
        while (finished.count() < count)
            ASSERT_TRUE(finished.wait(5000));
        TestSupport::spinEventLoop(20ms);
    }

    // The menu's entries, separators as "-"; or only those enabled.
    static QStringList entries(const QMenu *menu, bool enabledOnly = false)
    {
        QStringList texts;
        for (QAction *action : menu->actions()) {
            if (!enabledOnly)
                texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
            else if (!action->isSeparator() && action->isEnabled())
                texts.append(action->text());
        }
        return texts;
    }
    static QStringList enabledEntries(const QMenu *menu) { return entries(menu, true); }
    static QAction *entry(const QMenu *menu, const QString &text)
    {
        for (QAction *action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
        return nullptr;
    }

    std::shared_ptr<FakeBackupHandler> handler = std::make_shared<FakeBackupHandler>();
    BackupManager manager {BackupManager::Configuration {home.filePath("backups"), "tapback"}, handler};
    QDateTime now = noon;
    QList<QUrl> revealed;
    Platform::ScriptedAlertAnswerer alerts;
};

TEST_F(BackupListViewTest, RowsFollowTheManagersListAndTheSelectionFollowsTheRows)
{
    BackupListView view(manager, restoreText);
    view.resize(480, 360);
    EXPECT_EQ(view.list()->count(), 0);
    EXPECT_EQ(entries(view.pullDownMenu()), QStringList({"Make Backup", "-", "Delete", "Delete All"}));
    EXPECT_FALSE(view.restoreButton()->isEnabled());

    addFiles({"20240315093005", "20240314080000-locked"});
    TestSupport::runTask(manager.makeBackup(false));
    ASSERT_EQ(view.rows().size(), 3);
    const QList<BackupRowView *> rows = view.rows();
    EXPECT_EQ(rows[0]->backup(), backupNamed("20240314080000-locked"));
    EXPECT_EQ(rows[2]->backup().date, noon);
    EXPECT_EQ(rows[1]->dateLabel()->text(),
              BackupRowView::dateText(QDateTime(QDate(2024, 3, 15), QTime(9, 30, 5))));
    EXPECT_EQ(rows[1]->sizeLabel()->text(), BackupRowView::sizeText(3));
    EXPECT_NE(rows[0]->lockLabel(), nullptr);
    EXPECT_EQ(rows[1]->lockLabel(), nullptr);
    TestSupport::saveScreenshot(&view, "backups/list");

    // The selection survives a reload that leaves its backups alone, and loses those that went.
    view.setSelectedBackups(backupsNamed({"20240315093005", "20240315120000"}));
    EXPECT_EQ(view.list()->selectedItems().size(), 2);
    EXPECT_FALSE(view.restoreButton()->isEnabled());
    now = noon.addSecs(60);
    TestSupport::runTask(manager.makeBackup(true));
    ASSERT_EQ(view.rows().size(), 4);
    EXPECT_NE(view.rows()[3]->lockLabel(), nullptr);
    EXPECT_EQ(view.selectedBackups().size(), 2);
    QSignalSpy selection(&view, &BackupListView::selectedBackupsChanged);
    TestSupport::runTask(manager.deleteBackup(backupNamed("20240315093005")));
    EXPECT_EQ(view.rows().size(), 3);
    EXPECT_EQ(view.selectedBackups(), backupsNamed({"20240315120000"}));
    EXPECT_EQ(view.list()->selectedItems().size(), 1);
    EXPECT_EQ(selection.count(), 1);
    EXPECT_TRUE(view.restoreButton()->isEnabled());

    // Clicking rows selects them; a right click leaves the selection as it is.
    view.show();
    QListWidget *list = view.list();
    list->doItemsLayout();
    const QRect first = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(view.selectedBackups(), QSet<Backup>({manager.backups()[0]}));
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, second.center());
    EXPECT_EQ(view.selectedBackups().size(), 2);
    const QRect third = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, third.center());
    EXPECT_EQ(view.selectedBackups(), QSet<Backup>({manager.backups()[0], manager.backups()[1]}));
}

TEST_F(BackupListViewTest, SizesReadLikeFileSizes)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const auto &[bytes, text] :
         std::initializer_list<std::pair<qint64, const char *>> {{0, "Zero KB"},
                                                                 {1, "1 byte"},
                                                                 {532, "532 bytes"},
                                                                 {1000, "1 KB"},
                                                                 {1499, "1 KB"},
                                                                 {12345, "12 KB"},
                                                                 {999'999, "1 MB"},
                                                                 {1'000'000, "1 MB"},
                                                                 {1'234'567, "1.2 MB"},
                                                                 {2'500'000'000, "2.5 GB"},
                                                                 {2'345'678'901, "2.35 GB"}})
        EXPECT_EQ(BackupRowView::sizeText(bytes), text) << bytes;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(BackupRowView::sizeText(1'234'567), "1,2 MB");
    QLocale::setDefault(QLocale::system());
}

TEST_F(BackupListViewTest, ActionsAreEnabledByTheSelectionAndTheManager)
{
    addFiles({"20240315093005", "20240315093006", "20240315093007-locked"});
    BackupListView view(manager, restoreText);
    const Backup unlocked = backupNamed("20240315093005");
    const Backup locked = backupNamed("20240315093007-locked");

    // Nothing selected: a row's menu is disabled; the pull-down keeps "Make Backup" and "Delete All".
    std::unique_ptr<QMenu> menu(view.makeContextMenu(unlocked));
    EXPECT_EQ(entries(menu.get()), QStringList({"Restore", "-", "Lock", "Delete", "-", "Show in Finder"}));
    EXPECT_TRUE(enabledEntries(menu.get()).isEmpty());
    std::unique_ptr<QMenu> lockedMenu(view.makeContextMenu(locked));
    EXPECT_EQ(entries(lockedMenu.get()),
              QStringList({"Restore", "-", "Unlock", "Delete", "-", "Show in Finder"}));
    EXPECT_TRUE(enabledEntries(lockedMenu.get()).isEmpty());
    EXPECT_EQ(enabledEntries(view.pullDownMenu()), QStringList({"Make Backup", "Delete All"}));
    EXPECT_FALSE(view.restoreButton()->isEnabled());

    view.setSelectedBackups({unlocked});
    EXPECT_EQ(enabledEntries(menu.get()), QStringList({"Restore", "Lock", "Delete", "Show in Finder"}));
    EXPECT_EQ(enabledEntries(view.pullDownMenu()), QStringList({"Make Backup", "Delete", "Delete All"}));
    EXPECT_TRUE(view.restoreButton()->isEnabled());

    view.setSelectedBackups({unlocked, locked});
    std::unique_ptr<QMenu> several(view.makeContextMenu(unlocked));
    EXPECT_EQ(enabledEntries(several.get()), QStringList({"Lock", "Delete", "Show in Finder"}));
    EXPECT_FALSE(view.restoreButton()->isEnabled());

    // "Make Backup" waits while the manager makes one (looked at while it works: it may end at once).
    QAction *make = entry(view.pullDownMenu(), "Make Backup");
    QList<bool> enabledWhileWorking;
    QObject::connect(&manager, &BackupManager::isWorkingChanged, &view, [&] {
        if (manager.isWorking())
            enabledWhileWorking.append(make->isEnabled());
    });
    TestSupport::runTask(manager.makeBackup(false));
    EXPECT_EQ(enabledWhileWorking, QList<bool>({false}));
    EXPECT_FALSE(manager.isWorking());
    EXPECT_TRUE(make->isEnabled());

    entry(several.get(), "Show in Finder")->trigger();
    EXPECT_EQ(QSet<QUrl>(revealed.begin(), revealed.end()), QSet<QUrl>({unlocked.url, locked.url}));
}

TEST_F(BackupListViewTest, LockAndUnlockChangeTheWholeSelectionAndAFailureKeepsIt)
{
    addFiles({"20240315090000-locked", "20240315090001-locked", "20240315090002-locked",
              "20240315090003-locked", "20240315090004"});
    BackupListView view(manager, restoreText);
    QSignalSpy finished(&view, &BackupListView::actionFinished);

    // Three selected, the menu opened on a fourth, unselected locked row: "Unlock" changes the three.
    view.setSelectedBackups(
        backupsNamed({"20240315090000-locked", "20240315090001-locked", "20240315090002-locked"}));
    std::unique_ptr<QMenu> menu(view.makeContextMenu(backupNamed("20240315090003-locked")));
    entry(menu.get(), "Unlock")->trigger();
    waitForAction(finished);
    EXPECT_EQ(filesInFolder(),
              QStringList({"20240315090000.tapback", "20240315090001.tapback", "20240315090002.tapback",
                           "20240315090003-locked.tapback", "20240315090004.tapback"}));
    EXPECT_TRUE(view.selectedBackups().isEmpty());
    EXPECT_TRUE(alerts.alerts().isEmpty());

    view.setSelectedBackups(backupsNamed({"20240315090000", "20240315090004"}));
    std::unique_ptr<QMenu> lockMenu(view.makeContextMenu(backupNamed("20240315090000")));
    entry(lockMenu.get(), "Lock")->trigger();
    waitForAction(finished, 2);
    EXPECT_EQ(
        filesInFolder(),
        QStringList({"20240315090000-locked.tapback", "20240315090001.tapback", "20240315090002.tapback",
                     "20240315090003-locked.tapback", "20240315090004-locked.tapback"}));
    EXPECT_TRUE(FileOperations::isImmutable(folder() + "/20240315090000-locked.tapback"));
    EXPECT_TRUE(view.selectedBackups().isEmpty());
    QStringList lockedRows;
    for (BackupRowView *row : view.rows()) {
        if (row->lockLabel())
            lockedRows.append(row->backup().url.fileName());
    }
    EXPECT_EQ(lockedRows,
              QStringList({"20240315090000-locked.tapback", "20240315090003-locked.tapback",
                           "20240315090004-locked.tapback"}));
    EXPECT_TRUE(manager.backups()[0].isLocked);
    EXPECT_FALSE(FileOperations::isImmutable(folder() + "/20240315090001.tapback"));

    // A lock that fails shows its error and keeps the selection: the locked name of 090001 is taken.
    addFiles({"20240315090001-locked"});
    QSignalSpy errors(&view, &BackupListView::errorChanged);
    view.setSelectedBackups(backupsNamed({"20240315090001", "20240315090002"}));
    BackupActions::lockButton(&view, &view)->trigger();
    waitForAction(finished, 3);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(alerts.alerts()[0].message.contains("20240315090001.tapback"))
        << alerts.alerts()[0].message.toStdString();
    EXPECT_FALSE(view.error().has_value());
    EXPECT_EQ(errors.count(), 2);
    // The one that failed is untouched and still selected; the other may be locked, still selected.
    EXPECT_TRUE(QFileInfo::exists(folder() + "/20240315090001.tapback"));
    EXPECT_FALSE(FileOperations::isImmutable(folder() + "/20240315090001.tapback"));
    ASSERT_EQ(view.selectedBackups().size(), 2);
    EXPECT_TRUE(view.selectedBackups().contains(backupNamed("20240315090001")));
    const bool otherLocked = QFileInfo::exists(folder() + "/20240315090002-locked.tapback");
    EXPECT_TRUE(view.selectedBackups().contains(
        backupNamed(otherLocked ? "20240315090002-locked" : "20240315090002")));
    EXPECT_EQ(view.list()->selectedItems().size(), 2);
}

TEST_F(BackupListViewTest, DeleteAsksFirstAndStopsAtALockedBackup)
{
    addFiles({"20240315090000", "20240315090001-locked", "20240315090002"});
    BackupListView view(manager, restoreText);
    QSignalSpy finished(&view, &BackupListView::actionFinished);
    const QSet<Backup> chosen = backupsNamed({"20240315090000", "20240315090001-locked", "20240315090002"});
    view.setSelectedBackups(chosen);

    alerts.answer("Cancel");
    QAction *remove = entry(view.pullDownMenu(), "Delete");
    remove->trigger();
    EXPECT_TRUE(view.isDeleteConfirmationVisible());
    TestSupport::spinEventLoop(20ms);
    ASSERT_EQ(alerts.alerts().size(), 1);
    const Platform::Alert question = alerts.alerts()[0];
    EXPECT_EQ(question.message, "Are you sure you want to delete selected backups?");
    EXPECT_FALSE(view.isDeleteConfirmationVisible());
    EXPECT_EQ(filesInFolder().size(), 3);
    EXPECT_EQ(view.selectedBackups(), chosen);
    EXPECT_EQ(finished.count(), 0);

    alerts.answer("Delete");
    remove->trigger();
    waitForAction(finished);
    ASSERT_EQ(alerts.alerts().size(), 3);
    EXPECT_EQ(alerts.alerts()[2].message,
              BackupManager::lockedBackupError(backupNamed("20240315090001-locked")).message());
    EXPECT_TRUE(QFileInfo::exists(folder() + "/20240315090001-locked.tapback"));
    EXPECT_TRUE(view.selectedBackups().isEmpty());
    EXPECT_FALSE(view.error().has_value());

    addFiles({"20240315100000"});
    view.setSelectedBackups(backupsNamed({"20240315100000"}));
    view.show();
    view.activateWindow();
    view.list()->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    alerts.answer("Delete");
    QTest::keyClick(view.list(), Qt::Key_Backspace, Qt::ControlModifier);
    waitForAction(finished, 2);
    EXPECT_EQ(alerts.alerts().size(), 4);
    EXPECT_FALSE(QFileInfo::exists(folder() + "/20240315100000.tapback"));
    EXPECT_TRUE(view.selectedBackups().isEmpty());

    QTest::keyClick(view.list(), Qt::Key_Backspace, Qt::ControlModifier);
    TestSupport::spinEventLoop(20ms);
    EXPECT_EQ(alerts.alerts().size(), 4);
    EXPECT_FALSE(view.isDeleteConfirmationVisible());
}

TEST_F(BackupListViewTest, DeleteAllGoesInListOrderUntilALockedBackup)
{
    addFiles({"20240315090000", "20240315090001", "20240315090002-locked", "20240315090003"});
    BackupListView view(manager, restoreText);
    QSignalSpy finished(&view, &BackupListView::actionFinished);
    view.setSelectedBackups(backupsNamed({"20240315090003"}));

    alerts.answer("Delete All");
    entry(view.pullDownMenu(), "Delete All")->trigger();
    waitForAction(finished);
    ASSERT_EQ(alerts.alerts().size(), 2);
    EXPECT_EQ(alerts.alerts()[0].message, "Are you sure you want to delete all backups?");
    EXPECT_EQ(filesInFolder(), QStringList({"20240315090002-locked.tapback", "20240315090003.tapback"}));
    EXPECT_EQ(alerts.alerts()[1].message,
              BackupManager::lockedBackupError(backupNamed("20240315090002-locked")).message());
    EXPECT_TRUE(view.selectedBackups().isEmpty());
    EXPECT_EQ(view.rows().size(), 2);

    alerts.answer(1);
    entry(view.pullDownMenu(), "Delete All")->trigger();
    TestSupport::spinEventLoop(20ms);
    EXPECT_EQ(alerts.alerts().size(), 3);
    EXPECT_EQ(filesInFolder().size(), 2);
    EXPECT_EQ(finished.count(), 1);

    // With no backups it still asks, and confirming changes nothing.
    for (const QString &name : filesInFolder()) {
        FileOperations::setImmutable(folder() + "/" + name, false);
        QFile::remove(folder() + "/" + name);
    }
    TestSupport::runTask(manager.reload());
    EXPECT_EQ(view.list()->count(), 0);
    alerts.answer("Delete All");
    entry(view.pullDownMenu(), "Delete All")->trigger();
    waitForAction(finished, 2);
    EXPECT_EQ(alerts.alerts().size(), 4);
    EXPECT_FALSE(view.error().has_value());
}

TEST_F(BackupListViewTest, MakeBackupAndRestoreKeepTheCurrentDataFirst)
{
    BackupListView view(manager, restoreText);
    QSignalSpy finished(&view, &BackupListView::actionFinished);

    entry(view.pullDownMenu(), "Make Backup")->trigger();
    waitForAction(finished);
    EXPECT_EQ(filesInFolder(), QStringList({"20240315120000-locked.tapback"}));
    ASSERT_EQ(view.rows().size(), 1);
    EXPECT_NE(view.rows()[0]->lockLabel(), nullptr);

    now = noon.addSecs(30);
    TestSupport::runTask(manager.makeBackup(false));
    const Backup chosen = backupNamed("20240315120030");
    view.setSelectedBackups({chosen});
    ASSERT_TRUE(view.restoreButton()->isEnabled());

    alerts.answer(1);
    view.restoreButton()->click();
    TestSupport::spinEventLoop(20ms);
    ASSERT_EQ(alerts.alerts().size(), 1);
    const Platform::Alert question = alerts.alerts()[0];
    EXPECT_EQ(question.message, "Are you sure you want to restore selected backup?");
    EXPECT_EQ(question.informativeText, restoreText);
    EXPECT_FALSE(view.isRestoreBackupActionActive());
    EXPECT_TRUE(handler->restoreDirectories.isEmpty());
    EXPECT_EQ(filesInFolder().size(), 2);

    now = noon.addSecs(60);
    alerts.answer("Restore");
    view.restoreButton()->click();
    waitForAction(finished, 2);
    EXPECT_EQ(filesInFolder(),
              QStringList({"20240315120000-locked.tapback", "20240315120030.tapback",
                           "20240315120100-locked.tapback"}));
    EXPECT_EQ(handler->backupDirectories.size(), 3);
    EXPECT_EQ(handler->restoreDirectories.size(), 1);
    EXPECT_EQ(handler->restoredProfiles, "[{\"uuid\":\"p\"}]");
    EXPECT_EQ(view.selectedBackups(), QSet<Backup>({chosen}));
    EXPECT_EQ(alerts.alerts().size(), 2);

    // When the backup before the restore fails, nothing is restored and the alert says why.
    handler->failBackup = true;
    alerts.answer("Restore");
    std::unique_ptr<QMenu> menu(view.makeContextMenu(chosen));
    entry(menu.get(), "Restore")->trigger();
    waitForAction(finished, 3);
    EXPECT_EQ(handler->restoreDirectories.size(), 1);
    ASSERT_EQ(alerts.alerts().size(), 4);
    EXPECT_EQ(alerts.alerts()[3].message, "disk full");
    EXPECT_EQ(filesInFolder().size(), 3);

    entry(view.pullDownMenu(), "Make Backup")->trigger();
    waitForAction(finished, 4);
    ASSERT_EQ(alerts.alerts().size(), 5);
    EXPECT_EQ(alerts.alerts()[4].message, "disk full");
    EXPECT_TRUE(entry(view.pullDownMenu(), "Make Backup")->isEnabled());

    handler->failBackup = false;
    now = noon.addSecs(90);
    home.writeFile("backups/20240101000000.tapback", "not a zip");
    TestSupport::runTask(manager.reload());
    view.setSelectedBackups(backupsNamed({"20240101000000"}));
    alerts.answer("Restore");
    view.restoreButton()->click();
    waitForAction(finished, 5);
    EXPECT_EQ(handler->restoreDirectories.size(), 1);
    ASSERT_EQ(alerts.alerts().size(), 7);
    EXPECT_FALSE(alerts.alerts()[6].message.isEmpty());

    // A restore that brought the data back changed says how, once it has ended.
    handler->restoreNotes = {"A name was cut."};
    view.setSelectedBackups({chosen});
    alerts.answer("Restore");
    view.restoreButton()->click();
    waitForAction(finished, 6);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return alerts.alerts().size() == 9; }));
    EXPECT_EQ(alerts.alerts()[8].message, "The backup was restored with changes.");
    EXPECT_EQ(alerts.alerts()[8].informativeText, "A name was cut.");
}

TEST_F(BackupListViewTest, TheErrorAlertShowsEachErrorUntilOkAnswersIt)
{
    BackupListView view(manager, restoreText);
    int shownWhileOpen = 0;
    alerts.setFallback([&](const Platform::Alert &alert) {
        // A second failure arrives while the first alert is open.
        if (shownWhileOpen++ == 0)
            view.setError(BackupError(BackupError::domain, 7, "second"));
        return Platform::AlertResult {alert.defaultButton, false};
    });
    view.setError(BackupError(BackupError::domain, 6, "first"));
    EXPECT_TRUE(alerts.alerts().isEmpty());
    TestSupport::spinEventLoop(20ms);
    ASSERT_EQ(alerts.alerts().size(), 2);
    EXPECT_EQ(alerts.alerts()[0].message, "first");
    EXPECT_EQ(alerts.alerts()[1].message, "second");
    EXPECT_FALSE(view.error().has_value());

    EXPECT_EQ(BackupActions::errorFrom(std::make_exception_ptr(std::runtime_error("broken"))).message(),
              "broken");
    EXPECT_EQ(BackupActions::errorFrom(std::make_exception_ptr(std::runtime_error(""))).message(),
              "The operation could not be completed.");
    EXPECT_EQ(BackupActions::errorFrom(std::make_exception_ptr(BackupError("d", 3, "own"))).code(), 3);
}

} // namespace
