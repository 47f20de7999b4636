#include "KivUtilities/DataPath.h"
#include "Tapestrel/UnreadableStore.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "platform/Alerts.h"
#include "testsupport/RunProcess.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QDateTime now(QDate(2026, 12, 7), QTime(10, 30, 0));
const QString keptSuffix = QStringLiteral(".unreadable-2026-12-07-103000");

class UnreadableStoreTest : public TestSupport::TempHomeTest
{
protected:
    QString store = home.filePath("data/data.sqlite");

    // A store with one profile, closed.
    void makeStore() const
    {
        ModelContainer container(store);
        container.mainContext()->insert(std::make_unique<Profile>(QStringLiteral("Kept")));
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
            answerer.answer(QStringLiteral("Quit"));
            EXPECT_FALSE(UnreadableStore::ensureReadable(store, true, now));
            ASSERT_EQ(answerer.alerts().size(), 1);
            const Platform::Alert &alert = answerer.alerts()[0];
            EXPECT_EQ(alert.message, QStringLiteral("Tapestrel can’t open its profile store."));
            EXPECT_TRUE(alert.informativeText.contains("“" + store + "” cannot be read: "))
                << alert.informativeText.toStdString();
            EXPECT_TRUE(alert.informativeText.contains("data.sqlite" + keptSuffix));
            EXPECT_TRUE(alert.informativeText.contains("Settings → Backups"));
            EXPECT_EQ(alert.buttons, QStringList({"Quit", "Move Aside and Start Empty"}));
        }
        // Started from the command line nobody is asked, and nothing moves either.
        EXPECT_FALSE(UnreadableStore::ensureReadable(store, false, now));
        EXPECT_EQ(QFileInfo(store).isDir(), folder);
        if (!folder) {
            EXPECT_EQ(storeBytes(), before);
        }

        Platform::ScriptedAlertAnswerer answerer;
        answerer.answer(QStringLiteral("Move Aside and Start Empty"));
        EXPECT_TRUE(UnreadableStore::ensureReadable(store, true, now));
        EXPECT_EQ(answerer.alerts().size(), 1);
        if (folder) {
            EXPECT_EQ(home.readFile("data/data.sqlite" + keptSuffix + "/inside"), "mine");
        } else {
            EXPECT_EQ(home.readFile("data/data.sqlite" + keptSuffix), before);
        }
        // Start-up goes on with the store that this opened, handed over once.
        const std::unique_ptr<ModelContainer> fresh = UnreadableStore::takeOpened(store);
        ASSERT_NE(fresh, nullptr);
        EXPECT_TRUE(fresh->mainContext()->fetchProfiles().isEmpty());
        EXPECT_EQ(UnreadableStore::takeOpened(store), nullptr);
    }

    // A second move on the same second keeps the first kept copy.
    home.writeFile("data/data.sqlite", "again");
    EXPECT_EQ(UnreadableStore::moveAside(store, now), store + keptSuffix + "-2");
    EXPECT_EQ(home.readFile("data/data.sqlite" + keptSuffix + "-2"), "again");
}

TEST_F(UnreadableStoreTest, TheCommandLineReportsAtOnceWhyTheProgramItStartedEnded)
{
    const QString busRunner = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tapestrel"));
    if (busRunner.isEmpty() || !QFileInfo(program).isExecutable())
        GTEST_SKIP() << "needs dbus-run-session and the program";
    const QString path = QDir(KivUtilities::DataPath::path()).filePath(QStringLiteral("data.sqlite"));
    QDir().mkpath(QFileInfo(path).path());
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(5000, '\x5a'));
    }

    // A bus of its own: no program of another test may answer.
    QElapsedTimer timer;
    timer.start();
    const TestSupport::ProcessRun run =
        TestSupport::runProcess(busRunner, {QStringLiteral("--"), program, QStringLiteral("list")},
                                QProcessEnvironment::systemEnvironment(), 60s);
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_LT(timer.elapsed(), 20000) << "the command line waited for its start time-out";
    EXPECT_TRUE(run.err.contains("tapestrel: Tapestrel ended before it could answer: Tapestrel cannot open "
                                 "its profile store “"
                                 + path + "”: "))
        << run.err.toStdString();
    EXPECT_EQ(QFileInfo(path).size(), 5000);
    EXPECT_FALSE(QFileInfo::exists(path + keptSuffix));

    // Started as the session bus starts it for a D-Bus call: it asks nothing, says why and ends.
    timer.restart();
    const TestSupport::ProcessRun activated =
        TestSupport::runProcess(busRunner, {QStringLiteral("--"), program, QStringLiteral("--no-window")},
                                QProcessEnvironment::systemEnvironment(), 60s);
    EXPECT_LT(timer.elapsed(), 20000) << "the program waited on a question";
    EXPECT_TRUE(activated.err.contains("its profile store “" + path + "”")) << activated.err.toStdString();
    EXPECT_EQ(QFileInfo(path).size(), 5000);
}
