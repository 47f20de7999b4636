#include "KivBackups/Backup.h"
#include "KivBackups/BackupError.h"
#include "KivBackups/BackupManager.h"
#include "KivUtilities/MediumDateText.h"
#include "KivBackups/FileOperations.h"
#include "KivBackups/FileSuffix.h"
#include "KivBackups/tests/BackupTestSupport.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>

using namespace KivBackups;

namespace {

class BackupFilesTest : public TestSupport::TempHomeTest
{
protected:
    QString folder() const { return home.filePath("backups"); }
    QString file(const QString &name, const QByteArray &bytes = "zip")
    {
        home.writeFile("backups/" + name, bytes);
        return home.filePath("backups/" + name);
    }
    std::optional<Backup> read(const QString &name)
    {
        return Backup::fromUrl(QUrl::fromLocalFile(file(name)));
    }
};

const QDateTime march15 = QDateTime(QDate(2024, 3, 15), QTime(9, 30, 5));

} // namespace

TEST_F(BackupFilesTest, NamesGiveDateAndLockState)
{
    const std::pair<const char *, bool> names[] {{"20240315093005.tapback", false},
                                                 {"20240315093005-locked.tapback", true},
                                                 {"20240315093005-copy.tapback", false},
                                                 {"20240315093005-1.tapback", false}};
    for (const auto &[name, locked] : names) {
        const auto backup = read(name);
        ASSERT_TRUE(backup) << name;
        EXPECT_EQ(backup->date, march15) << name;
        EXPECT_EQ(backup->isLocked, locked) << name;
        EXPECT_EQ(backup->size, 3);
    }
    ASSERT_TRUE(read("-20240315093005.tapback"));
    const QString marked = file("20240315093006.tapback");
    FileOperations::setImmutable(marked, true);
    EXPECT_TRUE(Backup::fromUrl(QUrl::fromLocalFile(marked))->isLocked);

    for (const char *name : {"backup.tapback", "2024-03-15.tapback", "20241315093005.tapback",
                             "202403150930.tapback", "20240315093005x.tapback", "-.tapback"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(read(name));
    }
    EXPECT_FALSE(Backup::fromUrl(QUrl("https://example.com/20240315093005.tapback")));

    // Names are written in the C locale whatever the user's locale is.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    EXPECT_EQ(Backup::dateText(march15), "20240315093005");
    QLocale::setDefault(previous);
}

TEST_F(BackupFilesTest, SuffixesAreAddedOnceRemovedEverywhereAndNeverReplaceAFile)
{
    EXPECT_EQ(FileSuffix::pathAdding("/b/20240315093005.tapback", "-locked"),
              "/b/20240315093005-locked.tapback");
    EXPECT_EQ(FileSuffix::pathAdding("/b/20240315093005-locked.tapback", "-locked"),
              "/b/20240315093005-locked.tapback");
    EXPECT_EQ(FileSuffix::pathAdding("/b.d/name", "-locked"), "/b.d/name-locked");
    EXPECT_EQ(FileSuffix::pathRemoving("/b/20240315093005-locked.tapback", "-locked"),
              "/b/20240315093005.tapback");
    EXPECT_EQ(FileSuffix::pathRemoving("/b-locked/1-locked-locked.tapback", "-locked"),
              "/b-locked/1.tapback");

    const QString path = file("20240315093005.tapback", "one");
    const QString lockedPath = FileSuffix(path).add("-locked");
    EXPECT_EQ(lockedPath, folder() + "/20240315093005-locked.tapback");
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(FileSuffix(lockedPath).add("-locked"), lockedPath);
    EXPECT_TRUE(QFileInfo::exists(lockedPath));

    // Removing the marker would land on another archive: the move is refused and both stay.
    file("20240315093005.tapback", "two");
    try {
        FileSuffix(lockedPath).remove("-locked");
        ADD_FAILURE() << "a rename replaced an existing file";
    } catch (const BackupError &error) {
        EXPECT_EQ(error.code(), EEXIST);
    }
    EXPECT_EQ(home.readFile("backups/20240315093005.tapback"), "two");
    EXPECT_EQ(home.readFile("backups/20240315093005-locked.tapback"), "one");
}

TEST_F(BackupFilesTest, ListingKeepsOnlyBackupsOldestFirst)
{
    EXPECT_TRUE(BackupManager::listBackups(folder(), "tapback").isEmpty());

    file("20240315093005.tapback", "12345");
    file("20230101000000-locked.tapback", "12");
    file("20240101120000.zip");
    file("notes.tapback");
    file(".0d3c.partial");
    file("20240315093005.TAPBACK");
    QDir().mkpath(folder() + "/20220101000000.tapback");

    const QList<Backup> backups = BackupManager::listBackups(folder(), "tapback");
    ASSERT_EQ(backups.size(), 2);
    EXPECT_EQ(backups[0].url.fileName(), "20230101000000-locked.tapback");
    EXPECT_TRUE(backups[0].isLocked);
    EXPECT_EQ(backups[1].url.fileName(), "20240315093005.tapback");

    BackupManager manager({folder(), "tapback"}, std::make_shared<BackupTests::FakeBackupHandler>());
    EXPECT_EQ(manager.backups(), backups);
    EXPECT_EQ(manager.totalSize(), 7);
}

TEST_F(BackupFilesTest, LockingRenamesAndMarksAndDeletingALockedBackupIsRefused)
{
    BackupManager manager({folder(), "tapback"}, std::make_shared<BackupTests::FakeBackupHandler>());
    file("20240315093005.tapback");
    TestSupport::runTask(manager.reload());
    ASSERT_EQ(manager.backups().size(), 1);

    TestSupport::runTask(manager.lock(manager.backups()[0], true));
    ASSERT_EQ(manager.backups().size(), 1);
    Backup locked = manager.backups()[0];
    EXPECT_EQ(locked.url.fileName(), "20240315093005-locked.tapback");
    EXPECT_TRUE(locked.isLocked);
    EXPECT_TRUE(FileOperations::isImmutable(locked.path()));
    TestSupport::runTask(manager.lock(locked, true));
    EXPECT_EQ(manager.backups()[0].url, locked.url);

    try {
        TestSupport::runTask(manager.deleteBackup(locked));
        ADD_FAILURE() << "a locked backup was deleted";
    } catch (const BackupError &error) {
        EXPECT_EQ(error.code(), 1);
        EXPECT_TRUE(error.message().contains(KivUtilities::mediumDateTimeText(locked.date)));
    }
    EXPECT_TRUE(QFileInfo::exists(locked.path()));
    Backup stale = locked;
    stale.isLocked = false;
    EXPECT_THROW(TestSupport::runTask(manager.deleteBackup(stale)), BackupError);
    EXPECT_TRUE(QFileInfo::exists(locked.path()));

    TestSupport::runTask(manager.unlock(locked, true));
    Backup unlocked = manager.backups()[0];
    EXPECT_EQ(unlocked.url.fileName(), "20240315093005.tapback");
    EXPECT_FALSE(unlocked.isLocked);
    EXPECT_FALSE(FileOperations::isImmutable(unlocked.path()));
    TestSupport::runTask(manager.unlock(unlocked, true));
    EXPECT_EQ(manager.backups()[0].url, unlocked.url);

    TestSupport::runTask(manager.deleteBackup(unlocked));
    EXPECT_TRUE(manager.backups().isEmpty());
    EXPECT_EQ(manager.totalSize(), 0);
    EXPECT_FALSE(QFileInfo::exists(unlocked.path()));
}
