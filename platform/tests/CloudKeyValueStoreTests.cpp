#include "platform/CloudKeyValueStore.h"
#include "platform/PropertyList.h"

#include "testsupport/HostileFiles.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSize>

#include <gtest/gtest.h>

using Platform::CloudKeyValueStore;

namespace {

class CloudKeyValueStoreTest : public TestSupport::TempHomeTest
{
protected:
    // Waits for the file watcher without sleeping longer than needed.
    static bool waitFor(QSignalSpy &spy, int count = 1)
    {
        for (int i = 0; i < 100 && spy.count() < count; ++i)
            TestSupport::spinEventLoop(std::chrono::milliseconds(20));
        return spy.count() >= count;
    }
};

} // namespace

TEST_F(CloudKeyValueStoreTest, ValuesPersistAndChangesFromElsewhereAreReported)
{
    const QString path = CloudKeyValueStore::defaultFilePath();
    EXPECT_TRUE(path.startsWith(home.path()));
    EXPECT_TRUE(
        path.endsWith(QStringLiteral("Library/Mobile Documents/KeyValueStore/com.quorvane.Tapestrel.plist")));
    EXPECT_EQ(&CloudKeyValueStore::defaultStore(), &CloudKeyValueStore::defaultStore());

    CloudKeyValueStore store(path);
    EXPECT_FALSE(store.value(QStringLiteral("list")).isValid());
    EXPECT_TRUE(
        store.setValue(QStringLiteral("list"), QStringList {QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_TRUE(store.setValue(QStringLiteral("bytes"), QByteArray("[]")));
    EXPECT_FALSE(store.setValue(QStringLiteral("bad"), QVariant::fromValue(QSize(1, 2))));
    EXPECT_EQ(Platform::PropertyList::parseDictionary(home.readFile(
                  QStringLiteral("Library/Mobile Documents/KeyValueStore/com.quorvane.Tapestrel.plist"))),
              (QVariantMap {{QStringLiteral("list"), QVariantList {QStringLiteral("a"), QStringLiteral("b")}},
                            {QStringLiteral("bytes"), QByteArray("[]")}}));

    // Our own writes are not external changes.
    QSignalSpy external(&store, &CloudKeyValueStore::didChangeExternally);
    TestSupport::spinEventLoop(std::chrono::milliseconds(100));
    EXPECT_EQ(external.count(), 0);

    // Another writer over the same file: its change is reported with the keys that changed.
    {
        CloudKeyValueStore other(path);
        EXPECT_EQ(other.value(QStringLiteral("bytes")).toByteArray(), QByteArray("[]"));
        other.setValue(QStringLiteral("bytes"), QByteArray("[1]"));
        other.setValue(QStringLiteral("new"), QStringLiteral("x"));
    }
    ASSERT_TRUE(waitFor(external));
    QVariantMap info = external.takeLast().at(0).toMap();
    EXPECT_EQ(info.value(CloudKeyValueStore::changeReasonKey),
              QVariant(int(CloudKeyValueStore::ServerChange)));
    QStringList keys = info.value(CloudKeyValueStore::changedKeysKey).toStringList();
    EXPECT_TRUE(keys.contains(QStringLiteral("bytes")));
    EXPECT_FALSE(keys.contains(QStringLiteral("list")));
    EXPECT_EQ(store.value(QStringLiteral("new")), QVariant(QStringLiteral("x")));

    // A write here keeps what the other writer stored.
    store.setValue(QStringLiteral("list"), QVariant());
    CloudKeyValueStore reread(path);
    EXPECT_EQ(reread.dictionaryRepresentation().keys(),
              (QStringList {QStringLiteral("bytes"), QStringLiteral("new")}));
}

TEST_F(CloudKeyValueStoreTest, AnUnreadableFileIsSetAsideBeforeItIsReplaced)
{
    const QString relative =
        QStringLiteral("Library/Mobile Documents/KeyValueStore/com.quorvane.Tapestrel.plist");
    home.writeFile(relative, QByteArray("not a property list"));
    CloudKeyValueStore store(home.filePath(relative));
    EXPECT_FALSE(store.synchronize());
    EXPECT_TRUE(store.dictionaryRepresentation().isEmpty());
    EXPECT_EQ(home.readFile(relative), QByteArray("not a property list"));

    EXPECT_TRUE(store.setValue(QStringLiteral("k"), 1));
    EXPECT_EQ(home.readFile(relative + QStringLiteral(".corrupt")), QByteArray("not a property list"));
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(Platform::PropertyList::parseDictionary(home.readFile(relative)),
              (QVariantMap {{QStringLiteral("k"), qint64(1)}}));
}

TEST_F(CloudKeyValueStoreTest, WhatIsNoRegularFileIsNeitherWaitedForNorReplaced)
{
    for (const bool pipe : {true, false}) {
        SCOPED_TRACE(pipe ? "named pipe" : "link loop");
        const QString path = home.filePath(QStringLiteral("Library/Mobile Documents/KeyValueStore/%1.plist")
                                               .arg(pipe ? QStringLiteral("pipe") : QStringLiteral("loop")));
        ASSERT_TRUE(pipe ? TestSupport::HostileFiles::makePipe(path)
                         : TestSupport::HostileFiles::makeLinkLoop(path));
        const auto took = TestSupport::timeWithPipes({path}, [&path] {
            CloudKeyValueStore store(path);
            EXPECT_FALSE(store.synchronize());
            EXPECT_FALSE(store.setValue(QStringLiteral("k"), 1));
            EXPECT_TRUE(store.dictionaryRepresentation().isEmpty());
        });
        EXPECT_LT(took, std::chrono::seconds(1));
        const QFileInfo info(path);
        EXPECT_TRUE(pipe ? !info.isSymLink() && !info.isFile() : info.isSymLink());
        EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".corrupt")));
    }
}
