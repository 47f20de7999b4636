#include "Tapestrel/model/SynchronizedOptionsStore.h"

#include "platform/CloudKeyValueStore.h"
#include "platform/PropertyList.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

using Platform::CloudKeyValueStore;

namespace {

const char *writerPathVariable = "TAPESTREL_CLOUD_WRITER_FILE";

class SynchronizedOptions : public TestSupport::TempHomeTest
{
protected:
    QString path() const { return CloudKeyValueStore::defaultFilePath(); }

    QVariantMap storedValues() const
    {
        QFile file(path());
        file.open(QIODevice::ReadOnly);
        return Platform::PropertyList::parseDictionary(file.readAll()).value_or(QVariantMap());
    }

    // Another process writes to the store file: this test program, running only the writer below.
    void writeFromAnotherProcess(const QString &ids, const QByteArray &schedule)
    {
        QProcess writer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(writerPathVariable), path());
        environment.insert("TAPESTREL_CLOUD_WRITER_IDS", ids);
        environment.insert("TAPESTREL_CLOUD_WRITER_SCHEDULE", QString::fromUtf8(schedule));
        writer.setProcessEnvironment(environment);
        writer.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=CloudStoreWriter.*"});
        ASSERT_TRUE(writer.waitForFinished(30000));
        ASSERT_EQ(writer.exitCode(), 0) << writer.readAllStandardOutput().toStdString();
    }
};

} // namespace

// Runs only as the child process of the test above; a plain test run skips it.
TEST(CloudStoreWriter, WritesTheRequestedLists)
{
    const QString file = qEnvironmentVariable(writerPathVariable);
    if (file.isEmpty())
        GTEST_SKIP() << "runs only as a second process of the synchronised options test";
    CloudKeyValueStore store(file);
    ASSERT_TRUE(
        store.setValue(SynchronizedOptionsStore::keyDisabledOptions,
                       qEnvironmentVariable("TAPESTREL_CLOUD_WRITER_IDS").split(u',', Qt::SkipEmptyParts)));
    ASSERT_TRUE(store.setValue(SynchronizedOptionsStore::keyScheduledProfiles,
                               qEnvironmentVariable("TAPESTREL_CLOUD_WRITER_SCHEDULE").toUtf8()));
}

TEST_F(SynchronizedOptions, FirstStartAndAssignmentsWriteTheStore)
{
    CloudKeyValueStore store(path());
    SynchronizedOptionsStore options(store);
    EXPECT_TRUE(options.disabledOptionsIDs().isEmpty());
    EXPECT_TRUE(options.scheduledProfiles().isEmpty());

    QSignalSpy before(&options, &SynchronizedOptionsStore::disabledOptionsIDsAboutToChange);
    options.setDisabledOptionsIDs({"system.dock.position", "apps.bear.theme"});
    EXPECT_EQ(before.count(), 1);
    options.setScheduledProfiles({ScheduledProfile {"1", "P", 7, 30, true}});
    const QVariantMap stored = storedValues();
    EXPECT_EQ(stored.value(SynchronizedOptionsStore::keyDisabledOptions),
              QVariant(QVariantList {"system.dock.position", "apps.bear.theme"}));
    EXPECT_EQ(stored.value(SynchronizedOptionsStore::keyScheduledProfiles),
              QVariant(QByteArray(R"([{"id":"1","profileID":"P","hour":7,"minute":30,"isEnabled":true}])")));

    CloudKeyValueStore again(path());
    SynchronizedOptionsStore reloaded(again);
    EXPECT_EQ(reloaded.disabledOptionsIDs(), options.disabledOptionsIDs());
    EXPECT_EQ(reloaded.scheduledProfiles(), options.scheduledProfiles());
}

TEST_F(SynchronizedOptions, UnreadableValuesLoadEmptyAndStayStored)
{
    const QVariantList mixed {"system.dock.position", qint64(3)};
    const QByteArray incomplete(R"([{"id":"1","profileID":"P","hour":7,"minute":30}])");
    {
        CloudKeyValueStore writer(path());
        writer.setValue(SynchronizedOptionsStore::keyDisabledOptions, mixed);
        writer.setValue(SynchronizedOptionsStore::keyScheduledProfiles, incomplete);
    }
    CloudKeyValueStore store(path());
    SynchronizedOptionsStore options(store);
    EXPECT_TRUE(options.disabledOptionsIDs().isEmpty());
    EXPECT_TRUE(options.scheduledProfiles().isEmpty());
    EXPECT_EQ(storedValues().value(SynchronizedOptionsStore::keyDisabledOptions), QVariant(mixed));
    EXPECT_EQ(storedValues().value(SynchronizedOptionsStore::keyScheduledProfiles), QVariant(incomplete));

    // A schedule stored as text rather than bytes is unreadable too.
    store.setValue(SynchronizedOptionsStore::keyScheduledProfiles, QString::fromUtf8("[]"));
    store.setValue(SynchronizedOptionsStore::keyDisabledOptions, "a");
    SynchronizedOptionsStore second(store);
    EXPECT_TRUE(second.scheduledProfiles().isEmpty());
    EXPECT_TRUE(second.disabledOptionsIDs().isEmpty());
}

TEST_F(SynchronizedOptions, ChangesFromAnotherProcessReplaceTheListsOnTheMainThread)
{
    CloudKeyValueStore store(path());
    SynchronizedOptionsStore options(store);
    options.setDisabledOptionsIDs({"old"});

    QList<QThread *> assigningThreads;
    QObject::connect(&options, &SynchronizedOptionsStore::disabledOptionsIDsChanged,
                     [&] { assigningThreads.append(QThread::currentThread()); });
    QObject::connect(&options, &SynchronizedOptionsStore::scheduledProfilesChanged,
                     [&] { assigningThreads.append(QThread::currentThread()); });

    const QByteArray schedule(R"([{"id":"9","profileID":"Z","hour":6,"minute":5,"isEnabled":false}])");
    writeFromAnotherProcess("a,b", schedule);
    const QVariantMap written = storedValues();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return assigningThreads.size() >= 2; }));

    EXPECT_EQ(options.disabledOptionsIDs(), (QStringList {"a", "b"}));
    const ScheduledProfile expected {"9", "Z", 6, 5, false};
    EXPECT_EQ(options.scheduledProfiles(), QList<ScheduledProfile> {expected});
    ASSERT_EQ(assigningThreads.size(), 2);
    for (QThread *thread : assigningThreads)
        EXPECT_EQ(thread, QCoreApplication::instance()->thread());
    // Nothing taken over from outside is written back.
    EXPECT_EQ(storedValues(), written);

    // The same lists again cause no assignment, nor do changes of other keys or unknown reasons.
    assigningThreads.clear();
    options.handleUbiquitousStoreChange({{CloudKeyValueStore::changeReasonKey, 0}});
    options.handleUbiquitousStoreChange({{CloudKeyValueStore::changeReasonKey, 1},
                                         {CloudKeyValueStore::changedKeysKey, QStringList {"other"}}});
    store.setValue(SynchronizedOptionsStore::keyDisabledOptions, QStringList {"c"});
    options.handleUbiquitousStoreChange(
        {{CloudKeyValueStore::changeReasonKey, 2}, {CloudKeyValueStore::changedKeysKey, QVariantList {"x"}}});
    options.handleUbiquitousStoreChange({{CloudKeyValueStore::changeReasonKey, 7}});
    options.handleUbiquitousStoreChange({{CloudKeyValueStore::changeReasonKey, "0"}});
    options.handleUbiquitousStoreChange({});
    TestSupport::spinEventLoop(std::chrono::milliseconds(50));
    EXPECT_TRUE(assigningThreads.isEmpty());
    EXPECT_EQ(options.disabledOptionsIDs(), (QStringList {"a", "b"}));

    // Without a list of changed keys both are read again.
    options.handleUbiquitousStoreChange({{CloudKeyValueStore::changeReasonKey, 3}});
    EXPECT_TRUE(TestSupport::waitUntil([&] { return options.disabledOptionsIDs() == QStringList {"c"}; }));
    EXPECT_EQ(assigningThreads.size(), 1);
}
