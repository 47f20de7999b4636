#include "KivUtilities/DataPath.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/UnreadableStore.h"
#include "platform/Alerts.h"
#include "testsupport/RunProcess.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QDateTime now(QDate(2026, 12, 7), QTime(10, 30, 0));
const QString keptSuffix = ".unreadable-2026-12-07-103000";

class UnreadableStoreTest : public TestSupport::TempHomeTest
{
protected:
    QString store = home.filePath("data/data.sqlite");

    void makeStore() const
    {
        ModelContainer container(store);
        container.mainContext()->insert(std::make_unique<Profile>("Kept"));
        container.mainContext()->save();
    }
    void setSchemaVersion(const char *version) const
    {
        sqlite3 *database = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(store).constData(), &database), SQLITE_OK);
        const QByteArray sql =
            QByteArray("UPDATE metadata SET value = '") + version + "' WHERE key = 'schemaVersion'";
        EXPECT_EQ(sqlite3_exec(database, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(database);
    }
    QByteArray storeBytes() const { return home.readFile("data/data.sqlite"); }
};

} // namespace

TEST_F(UnreadableStoreTest, TheAlertQuitsOrMovesTheFileAsideAndNothingIsLost)
{
    const std::vector<std::pair<const char *, std::function<void()>>> damages {
        {"random bytes",
         [&] {
             home.writeFile("data/data.sqlite", QByteArray(5000, '\x5a'));
         }},
        {"a truncated file",
         [&] {
             makeStore();
             home.writeFile("data/data.sqlite", storeBytes().left(3000));
         }},
        {"a newer schema",
         [&] {
             makeStore();
             setSchemaVersion("999");
         }},
        {"a folder in its place",
         [&] {
             home.writeFile("data/data.sqlite/inside", "mine");
         }},
    };
    for (const auto &[what, damage] : damages) {
        SCOPED_TRACE(what);
        QDir(home.filePath("data")).removeRecursively();
        damage();
        const bool folder = QFileInfo(store).isDir();
        const QByteArray before = folder ? QByteArray() : storeBytes();
        ASSERT_TRUE(UnreadableStore::problem(store).has_value());

        {
            Platform::ScriptedAlertAnswerer answerer;
            answerer.answer("Quit");
            EXPECT_FALSE(UnreadableStore::ensureReadable(store, true, now));
            ASSERT_EQ(answerer.alerts().size(), 1);
            const Platform::Alert &alert = answerer.alerts()[0];
            EXPECT_TRUE(alert.informativeText.contains("“" + store + "” cannot be read: "))
                << alert.informativeText.toStdString();
            EXPECT_TRUE(alert.informativeText.contains("data.sqlite" + keptSuffix));
        }
        // Started from the command line nobody is asked, and nothing moves either.
        EXPECT_FALSE(UnreadableStore::ensureReadable(store, false, now));
        EXPECT_EQ(QFileInfo(store).isDir(), folder);
        if (!folder) {
            EXPECT_EQ(storeBytes(), before);
        }

        Platform::ScriptedAlertAnswerer answerer;
        answerer.answer("Move Aside and Start Empty");
        EXPECT_TRUE(UnreadableStore::ensureReadable(store, true, now));
        EXPECT_EQ(answerer.alerts().size(), 1);
        if (folder) {
            EXPECT_EQ(home.readFile("data/data.sqlite" + keptSuffix + "/inside"), "mine");
        } else {
            EXPECT_EQ(home.readFile("data/data.sqlite" + keptSuffix), before);
        }
        const std::unique_ptr<ModelContainer> fresh = UnreadableStore::takeOpened(store);
        ASSERT_NE(fresh, nullptr);
        EXPECT_TRUE(fresh->mainContext()->fetchProfiles().isEmpty());
        EXPECT_EQ(UnreadableStore::takeOpened(store), nullptr);
    }

    home.writeFile("data/data.sqlite", "again");
    EXPECT_EQ(UnreadableStore::moveAside(store, now), store + keptSuffix + "-2");
    EXPECT_EQ(home.readFile("data/data.sqlite" + keptSuffix + "-2"), "again");
}

TEST_F(UnreadableStoreTest, TheCommandLineReportsAtOnceWhyTheProgramItStartedEnded)
{
    const QString busRunner = QStandardPaths::findExecutable("dbus-run-session");
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath("tapestrel");
    if (busRunner.isEmpty() || !QFileInfo(program).isExecutable())
        GTEST_SKIP() << "needs dbus-run-session and the program";
    const QString path = QDir(KivUtilities::DataPath::path()).filePath("data.sqlite");
    QDir().mkpath(QFileInfo(path).path());
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(5000, '\x5a'));
    }

    // Without a runtime folder the log goes to the temporary folder: links wait at each name it could take.
    QTemporaryDir temporary;
    QFile target(temporary.filePath("target"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly) && target.write("kept") == 4);
    target.close();
    QFile lastPid("/proc/sys/kernel/ns_last_pid");
    const qint64 last = lastPid.open(QIODevice::ReadOnly) ? lastPid.readAll().trimmed().toLongLong() : 0;
    for (qint64 pid = last + 1; pid <= last + 3000; ++pid)
        QFile::link(target.fileName(), temporary.filePath(QStringLiteral("tapestrel-start-%1.log").arg(pid)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("XDG_RUNTIME_DIR");
    environment.insert("TMPDIR", temporary.path());

    // A bus of its own: no program of another test may answer.
    QElapsedTimer timer;
    timer.start();
    const TestSupport::ProcessRun run =
        TestSupport::runProcess(busRunner, {"--", program, "list"}, environment, 60s);
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_LT(timer.elapsed(), 20000) << "the command line waited for its start time-out";
    EXPECT_TRUE(run.err.contains("tapestrel: Tapestrel ended before it could answer: Tapestrel cannot open "
                                 "its profile store “"
                                 + path + "”: "))
        << run.err.toStdString();
    EXPECT_EQ(QFileInfo(path).size(), 5000);
    EXPECT_FALSE(QFileInfo::exists(path + keptSuffix));
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "kept");
    EXPECT_EQ(QDir(temporary.path()).entryList({"tapestrel-start-*"}, QDir::Files | QDir::System).size(),
              3000)
        << "the log is gone";

    // Started as the session bus starts it for a D-Bus call: it asks nothing, says why and ends.
    timer.restart();
    const TestSupport::ProcessRun activated = TestSupport::runProcess(
        busRunner, {"--", program, "--no-window"}, QProcessEnvironment::systemEnvironment(), 60s);
    EXPECT_LT(timer.elapsed(), 20000) << "the program waited on a question";
    EXPECT_TRUE(activated.err.contains("its profile store “" + path + "”")) << activated.err.toStdString();
    EXPECT_EQ(QFileInfo(path).size(), 5000);
}

// The store is moved aside with its write-ahead log; a link at the kept name is never replaced.
TEST_F(UnreadableStoreTest, MovingAsideTakesTheLogAlongAndNeverReplacesALink)
{
    makeStore();
    sqlite3 *database = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(store).constData(), &database), SQLITE_OK);
    // Closed without a checkpoint, as when the program ended mid-way: what follows stays in the log.
    sqlite3_db_config(database, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    ASSERT_EQ(
        sqlite3_exec(database,
                     "PRAGMA journal_mode=WAL; UPDATE metadata SET value = '999' WHERE key = 'schemaVersion';"
                     "INSERT INTO metadata (key, value) VALUES ('marker', 'only in the log')",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(database);
    ASSERT_GT(QFileInfo(store + "-wal").size(), 0);
    ASSERT_TRUE(QFile::link(home.filePath("nowhere"), store + keptSuffix));

    const std::optional<QString> kept = UnreadableStore::moveAside(store, now);
    ASSERT_EQ(kept, store + keptSuffix + "-2");
    EXPECT_EQ(QFileInfo(store + keptSuffix).symLinkTarget(), home.filePath("nowhere"));
    for (const char *suffix : {"", "-wal", "-shm"}) {
        EXPECT_FALSE(QFileInfo::exists(store + suffix)) << suffix;
        EXPECT_TRUE(QFileInfo::exists(*kept + suffix)) << suffix;
    }

    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(*kept).constData(), &database, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt *statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(database, "SELECT value FROM metadata WHERE key = 'marker'", -1, &statement,
                                 nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)), "only in the log");
    sqlite3_finalize(statement);
    sqlite3_close(database);
}
