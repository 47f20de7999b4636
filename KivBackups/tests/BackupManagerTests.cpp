#include "KivBackups/BackupManager.h"
#include "KivBackups/BackupPlanner.h"
#include "KivBackups/FileOperations.h"
#include "KivBackups/IntervalCleaner.h"
#include "KivBackups/tests/BackupTestSupport.h"
#include "testsupport/FileSizeLimit.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"
#include "zip/Zip.h"
#include "zip/ZipError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace KivBackups;
using BackupTests::FakeBackupHandler;

namespace {

const QDateTime noon = QDateTime(QDate(2024, 3, 15), QTime(12, 0, 0));

class BackupManagerTest : public TestSupport::TempHomeTest
{
protected:
    QString folder() const { return home.filePath("backups"); }
    std::shared_ptr<FakeBackupHandler> handler = std::make_shared<FakeBackupHandler>();
    QDateTime now = noon;

    std::unique_ptr<BackupManager> makeManager()
    {
        auto manager =
            std::make_unique<BackupManager>(BackupManager::Configuration {folder(), "tapback"}, handler);
        manager->setClock([this] { return now; });
        return manager;
    }
    QStringList filesInFolder() const
    {
        return QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    void backupFile(const QDateTime &date, const QString &marker = {})
    {
        home.writeFile("backups/" + Backup::dateText(date) + marker + ".tapback", "zip");
    }
};

struct Item
{
    QDateTime date;
    bool operator==(const Item &) const = default;
};

QList<Item> aged(const QList<qint64> &seconds)
{
    QList<Item> items;
    for (qint64 age : seconds)
        items.append({noon.addSecs(-age)});
    return items;
}

} // namespace

TEST_F(BackupManagerTest, MakesArchivesUnderUniqueNamesAndRestoresThem)
{
    auto manager = makeManager();
    QSignalSpy working(manager.get(), &BackupManager::isWorkingChanged);
    TestSupport::runTask(manager->makeBackup(false));
    TestSupport::runTask(manager->makeBackup(false));
    TestSupport::runTask(manager->makeBackup(true));
    EXPECT_EQ(working.count(), 6);
    EXPECT_FALSE(manager->isWorking());

    // Same second, nothing replaced: every name still reads as noon.
    EXPECT_EQ(
        filesInFolder(),
        QStringList({"20240315120000-1.tapback", "20240315120000-locked.tapback", "20240315120000.tapback"}));
    ASSERT_EQ(manager->backups().size(), 3);
    qint64 total = 0;
    for (const Backup &backup : manager->backups()) {
        EXPECT_EQ(backup.date, noon);
        EXPECT_EQ(backup.isLocked, backup.url.fileName().contains("-locked"));
        total += backup.size;
    }
    EXPECT_EQ(manager->totalSize(), total);
    for (const QString &directory : handler->backupDirectories)
        EXPECT_FALSE(QFileInfo::exists(directory));

    Zip::Zip::addCustomFileExtension("tapback");
    Zip::Zip::unzipFile(folder() + "/20240315120000.tapback", home.filePath("unpacked"), true);
    EXPECT_EQ(QDir(home.filePath("unpacked")).entryList(QDir::Files, QDir::Name),
              QStringList({"backgrounds.json", "profiles.json"}));

    const QList<Backup> before = manager->backups();
    handler->restoreNotes = {"changed"};
    EXPECT_EQ(TestSupport::runTask(manager->restore(before[0])), QStringList {"changed"});
    EXPECT_EQ(handler->restoredProfiles, "[{\"uuid\":\"p\"}]");
    ASSERT_EQ(handler->restoreDirectories.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(handler->restoreDirectories[0]));
    EXPECT_EQ(manager->backups(), before);

    // Entries no backup holds are passed over, never written.
    Zip::Zip::zipData({{"backgrounds.json", "[]", std::nullopt},
                       {"profiles.json", "[]", std::nullopt},
                       {"extra.bin", "x", std::nullopt},
                       {"sub/profiles.json", "x", std::nullopt}},
                      folder() + "/20240101000000.tapback");
    TestSupport::runTask(manager->reload());
    TestSupport::runTask(manager->restore(manager->backups()[0]));
    EXPECT_EQ(handler->restoredFiles, QStringList({"backgrounds.json", "profiles.json"}));

    // Of restores the program ends before they returned, the one whose data is in the store already is
    // not said to be unfinished; the one waiting for its turn is.
    QTimer hold;
    hold.setSingleShot(true);
    handler->holdRestore = &hold;
    QCoro::Task<QStringList> first = manager->restore(before[0]);
    QCoro::Task<QStringList> second = manager->restore(before[1]);
    EXPECT_EQ(manager->unfinishedRestores().size(), 2);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return handler->stored; }));
    EXPECT_EQ(manager->unfinishedRestores(), QStringList {before[1].url.fileName()});
    handler->holdRestore = nullptr;
    hold.start(0);
    TestSupport::runTask(std::move(first));
    TestSupport::runTask(std::move(second));
    EXPECT_TRUE(manager->unfinishedRestores().isEmpty());
}

TEST_F(BackupManagerTest, AFailedBackupLeavesNothingAndClearsTheWorkingState)
{
    auto manager = makeManager();
    handler->failBackup = true;
    EXPECT_THROW(TestSupport::runTask(manager->makeBackup(true)), std::runtime_error);
    EXPECT_FALSE(manager->isWorking());
    EXPECT_TRUE(filesInFolder().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(handler->backupDirectories[0]));

    // A handler that writes nothing makes no archive either.
    struct SilentHandler : BackupHandler
    {
        QCoro::Task<QStringList> restore(QString) override { co_return {}; }
        QCoro::Task<void> backup(QString) override { co_return; }
    };
    BackupManager silent({folder(), "tapback"}, std::make_shared<SilentHandler>());
    EXPECT_THROW(TestSupport::runTask(silent.makeBackup(false)), BackupError);
    EXPECT_TRUE(filesInFolder().isEmpty());

    home.writeFile("blocked", "file");
    BackupManager blocked({home.filePath("blocked/backups"), "tapback"}, handler);
    handler->failBackup = false;
    EXPECT_THROW(TestSupport::runTask(blocked.makeBackup(false)), BackupError);
    EXPECT_FALSE(blocked.isWorking());
}

TEST_F(BackupManagerTest, StreamedFilesGoStraightIntoTheArchiveAndAFailureLeavesNothing)
{
    // Writes its files piece by piece on the pool, or fails the way it is told to.
    struct StreamingHandler : BackupHandler
    {
        enum class Failure { None, Throws, NoFiles, BadName } failure = Failure::None;
        bool folderAsked = false;
        // Bytes that do not compress, so that the archive has a size worth limiting.
        static QByteArray piece(int number)
        {
            QByteArray bytes(1000, Qt::Uninitialized);
            quint32 state = quint32(number) + 1;
            for (char &byte : bytes) {
                state = state * 1664525u + 1013904223u;
                byte = char(state >> 24);
            }
            return bytes;
        }
        QCoro::Task<QStringList> restore(QString) override { co_return {}; }
        QCoro::Task<void> backup(QString) override
        {
            folderAsked = true;
            co_return;
        }
        StreamedBackup streamedBackup() override
        {
            return [failure = failure](BackupFileWriter &writer) {
                if (failure == Failure::NoFiles)
                    return;
                writer.beginFile(failure == Failure::BadName ? QString() : QStringLiteral("profiles.json"));
                // More pieces than wait at once between the two threads.
                for (int number = 0; number < 50; ++number) {
                    writer.write(piece(number));
                    if (failure == Failure::Throws && number == 20)
                        throw std::runtime_error("store gone");
                }
                writer.endFile();
                writer.beginFile(QStringLiteral("backgrounds.json"));
                writer.write("[]");
                writer.endFile();
            };
        }
    };
    const auto streaming = std::make_shared<StreamingHandler>();
    BackupManager manager({folder(), "tapback"}, streaming);
    manager.setClock([] { return noon; });
    TestSupport::runTask(manager.makeBackup(false));
    EXPECT_FALSE(streaming->folderAsked);
    EXPECT_EQ(filesInFolder(), QStringList({"20240315120000.tapback"}));
    Zip::Zip::addCustomFileExtension("tapback");
    Zip::Zip::unzipFile(folder() + "/20240315120000.tapback", home.filePath("unpacked"), true);
    QByteArray expected;
    for (int number = 0; number < 50; ++number)
        expected += StreamingHandler::piece(number);
    EXPECT_EQ(home.readFile("unpacked/profiles.json"), expected);
    EXPECT_EQ(home.readFile("unpacked/backgrounds.json"), "[]");

    // A failure on either side, nothing to write, or an archive not completed leaves no archive.
    streaming->failure = StreamingHandler::Failure::Throws;
    EXPECT_THROW(TestSupport::runTask(manager.makeBackup(false)), std::runtime_error);
    streaming->failure = StreamingHandler::Failure::BadName;
    EXPECT_THROW(TestSupport::runTask(manager.makeBackup(false)), Zip::ZipError);
    streaming->failure = StreamingHandler::Failure::NoFiles;
    EXPECT_THROW(TestSupport::runTask(manager.makeBackup(false)), BackupError);
    streaming->failure = StreamingHandler::Failure::None;
    {
        const TestSupport::FileSizeLimit limit(
            rlim_t(QFileInfo(folder() + "/20240315120000.tapback").size() - 1));
        try {
            TestSupport::runTask(manager.makeBackup(false));
            ADD_FAILURE() << "a shortened archive counted as a backup";
        } catch (const Zip::ZipError &error) {
            EXPECT_EQ(error.code(), Zip::ZipError::zipFail);
        }
    }
    EXPECT_EQ(filesInFolder(), QStringList({"20240315120000.tapback"}));
    EXPECT_EQ(manager.backups().size(), 1);
    EXPECT_FALSE(manager.isWorking());
}

TEST(IntervalCleanerTest, ThinsTheWorkedExampleAndRespectsBoundaries)
{
    const IntervalCleaner cleaner(BackupPlanner::defaultIntervals());
    const qint64 m = 60, h = 3600, d = 86400;
    const QList<Item> items =
        aged({10, 5 * m, 14 * m, 20 * m, 25 * m, 40 * m, 2 * h, 2 * h + 30 * m, 2 * h + 54 * m, 200 * d});
    EXPECT_EQ(cleaner.itemsToDelete(items, noon), aged({200 * d, 5 * m, 20 * m, 2 * h + 30 * m}));
    EXPECT_TRUE(IntervalCleaner({}).itemsToDelete(items, noon).isEmpty());

    // On a bound survives, a second more does not; the newest item and future ones are never deleted.
    const QList<std::pair<QList<qint64>, QList<qint64>>> cases {
        {{}, {}},
        {{30}, {}},
        {{10, 20, 30, 40}, {20, 30}},
        {{1, 900, 950}, {}},
        {{1, 901, 950}, {901}},
        {{1, 7200, 7300}, {}},
        {{1, 12096000}, {}},
        {{1, 12096001, 13000000}, {12096001, 13000000}},
        {{20 * m, 25 * m}, {}},
        {{300 * d}, {}},
        {{-100, -50, 10, 60, 120}, {60}}};
    for (const auto &[ages, deleted] : cases)
        EXPECT_EQ(cleaner.itemsToDelete(aged(ages), noon), aged(deleted)) << ages.size() << " items";
}

TEST_F(BackupManagerTest, PlannerBacksUpEveryThirtySecondsAndThinsOnlyUnlockedBackups)
{
    backupFile(noon.addDays(-200));
    backupFile(noon.addDays(-300), "-locked");
    backupFile(noon.addSecs(-5 * 60));
    backupFile(noon.addSecs(-10 * 60));
    auto manager = makeManager();
    BackupPlanner planner(manager.get());
    planner.setClock([this] { return now; });
    QSignalSpy passes(&planner, &BackupPlanner::passFinished);
    auto runOnce = [&] {
        const int before = passes.count();
        planner.run();
        if (planner.isWorking())
            planner.run(); // ignored while the pass runs
        EXPECT_TRUE(passes.count() > before || passes.wait(5000));
        EXPECT_EQ(passes.count(), before + 1);
        EXPECT_FALSE(planner.isWorking());
    };

    runOnce();
    EXPECT_EQ(handler->backupDirectories.size(), 1);
    EXPECT_EQ(planner.lastBackupDate(), noon);
    // Kept: the new one, the oldest of the first bucket and the locked one.
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files, QDir::Name).join(' '),
              QStringList({Backup::dateText(noon.addDays(-300)) + "-locked.tapback",
                           Backup::dateText(noon.addSecs(-10 * 60)) + ".tapback", "20240315120000.tapback"})
                  .join(' '));
    EXPECT_EQ(manager->backups().size(), 3);

    now = noon.addSecs(29);
    runOnce();
    EXPECT_EQ(handler->backupDirectories.size(), 1);
    now = noon.addSecs(30);
    runOnce();
    EXPECT_EQ(handler->backupDirectories.size(), 2);

    // A failing backup does not stop the planner; it is retried after the usual interval.
    handler->failBackup = true;
    now = noon.addSecs(60);
    runOnce();
    EXPECT_EQ(handler->backupDirectories.size(), 3);
    EXPECT_EQ(planner.lastBackupDate(), noon.addSecs(60));
    handler->failBackup = false;
    now = noon.addSecs(75);
    runOnce();
    EXPECT_EQ(handler->backupDirectories.size(), 3);
    now = noon.addSecs(90);
    runOnce();
    EXPECT_EQ(handler->backupDirectories.size(), 4);

    // A clock set back does not hold the backups off.
    now = noon.addSecs(-3600);
    runOnce();
    EXPECT_EQ(handler->backupDirectories.size(), 5);
}

TEST_F(BackupManagerTest, ThinningSparesABackupLockedAfterTheListWasRead)
{
    const QString old = folder() + "/" + Backup::dateText(noon.addDays(-200)) + ".tapback";
    backupFile(noon.addDays(-200));
    backupFile(noon.addDays(-300));
    auto manager = makeManager();
    BackupPlanner planner(manager.get());
    planner.setClock([this] { return now; });
    ASSERT_FALSE(manager->backups()[1].isLocked);

    // Another window locks it (an older version marks it read-only) while the list stands.
    FileOperations::setImmutable(old, true);
    TestSupport::runTask(planner.clean());
    EXPECT_EQ(filesInFolder(), QStringList({QFileInfo(old).fileName()}));
    FileOperations::setImmutable(old, false);
}

TEST_F(BackupManagerTest, WorkingFoldersStayInTheBackupsFolderAndStaleOnesGoAtStart)
{
    home.writeFile("backups/.working/work-AbCdEf/profiles.json", "[{\"uuid\":\"mine\"}]");
    auto manager = makeManager();
    EXPECT_EQ(manager->workingFolderPath(), folder() + "/.working");
    EXPECT_FALSE(QFileInfo::exists(folder() + "/.working/work-AbCdEf"));

    TestSupport::runTask(manager->makeBackup(false));
    TestSupport::runTask(manager->restore(manager->backups()[0]));
    for (const QString &directory : handler->backupDirectories + handler->restoreDirectories) {
        EXPECT_TRUE(directory.startsWith(folder() + "/.working/")) << directory.toStdString();
        EXPECT_FALSE(QFileInfo::exists(directory));
    }
    EXPECT_EQ(manager->backups().size(), 1); // the working folder is no backup

    // A link in its place is removed, never followed.
    home.writeFile("elsewhere/keep", "x");
    QDir(folder()).removeRecursively();
    QDir().mkpath(folder());
    ASSERT_TRUE(QFile::link(home.filePath("elsewhere"), folder() + "/.working"));
    makeManager();
    EXPECT_EQ(home.readFile("elsewhere/keep"), "x");
    EXPECT_FALSE(QFileInfo(folder() + "/.working").isSymLink());
}

TEST_F(BackupManagerTest, RestoreRefusesAMemberLargerThanABackupCanHoldAndNamesIt)
{
    // Spaces compress to almost nothing: a small archive that would unpack to more than 64 MB.
    QDir().mkpath(folder());
    Zip::Zip::zipData(
        {{"backgrounds.json", "[]", std::nullopt},
         {"profiles.json", QByteArray(BackupManager::maximumMemberSize + 1, ' '), std::nullopt}},
        folder() + "/20240101000000.tapback");
    auto manager = makeManager();
    ASSERT_EQ(manager->backups().size(), 1);
    EXPECT_LT(manager->backups()[0].size, 1 << 20);
    try {
        TestSupport::runTask(manager->restore(manager->backups()[0]));
        ADD_FAILURE() << "the restore went through";
    } catch (const BackupError &error) {
        EXPECT_EQ(error.code(), BackupError::memberTooLargeCode);
        EXPECT_TRUE(error.message().contains("“profiles.json”")) << error.message().toStdString();
        EXPECT_TRUE(error.message().contains("64")) << error.message().toStdString();
    }
    EXPECT_TRUE(handler->restoreDirectories.isEmpty());
    EXPECT_TRUE(QDir(manager->workingFolderPath()).isEmpty());
}
