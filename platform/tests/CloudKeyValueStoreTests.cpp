#include "platform/CloudKeyValueStore.h"
#include "platform/PropertyList.h"

#include "testsupport/HostileFiles.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QSize>

#include <gtest/gtest.h>

using Platform::CloudKeyValueStore;

namespace {

using CloudKeyValueStoreTest = TestSupport::TempHomeTest;

} // namespace

TEST_F(CloudKeyValueStoreTest, ValuesPersistAndChangesFromElsewhereAreReported)
{
    const QString path = CloudKeyValueStore::defaultFilePath();

    CloudKeyValueStore store(path);
    EXPECT_FALSE(store.value("list").isValid());
    EXPECT_TRUE(store.setValue("list", QStringList {"a", "b"}));
    EXPECT_TRUE(store.setValue("bytes", QByteArray("[]")));
    EXPECT_FALSE(store.setValue("bad", QVariant::fromValue(QSize(1, 2))));
    EXPECT_EQ(Platform::PropertyList::parseDictionary(
                  home.readFile("Library/Mobile Documents/KeyValueStore/com.quorvane.Tapestrel.plist")),
              (QVariantMap {{"list", QVariantList {"a", "b"}}, {"bytes", QByteArray("[]")}}));

    QSignalSpy external(&store, &CloudKeyValueStore::didChangeExternally);
    TestSupport::spinEventLoop(std::chrono::milliseconds(100));
    EXPECT_EQ(external.count(), 0);

    {
        CloudKeyValueStore other(path);
        EXPECT_EQ(other.value("bytes").toByteArray(), QByteArray("[]"));
        other.setValue("bytes", QByteArray("[1]"));
        other.setValue("new", "x");
    }
    ASSERT_TRUE(TestSupport::waitUntil([&] { return external.count() > 0; }));
    QVariantMap info = external.takeLast().at(0).toMap();
    EXPECT_EQ(info.value(CloudKeyValueStore::changeReasonKey),
              QVariant(int(CloudKeyValueStore::ServerChange)));
    QStringList keys = info.value(CloudKeyValueStore::changedKeysKey).toStringList();
    EXPECT_TRUE(keys.contains("bytes"));
    EXPECT_FALSE(keys.contains("list"));
    EXPECT_EQ(store.value("new"), QVariant("x"));

    store.setValue("list", QVariant());
    CloudKeyValueStore reread(path);
    EXPECT_EQ(reread.dictionaryRepresentation().keys(), (QStringList {"bytes", "new"}));
}

TEST_F(CloudKeyValueStoreTest, AnUnreadableFileIsSetAsideBeforeItIsReplaced)
{
    const QString relative = "Library/Mobile Documents/KeyValueStore/com.quorvane.Tapestrel.plist";
    home.writeFile(relative, QByteArray("not a property list"));
    CloudKeyValueStore store(home.filePath(relative));
    EXPECT_FALSE(store.synchronize());
    EXPECT_TRUE(store.dictionaryRepresentation().isEmpty());
    EXPECT_EQ(home.readFile(relative), QByteArray("not a property list"));

    EXPECT_TRUE(store.setValue("k", 1));
    EXPECT_EQ(home.readFile(relative + ".corrupt"), QByteArray("not a property list"));
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(Platform::PropertyList::parseDictionary(home.readFile(relative)),
              (QVariantMap {{"k", qint64(1)}}));
}

TEST_F(CloudKeyValueStoreTest, WhatIsNoRegularFileIsNeitherWaitedForNorReplaced)
{
    for (const bool pipe : {true, false}) {
        SCOPED_TRACE(pipe ? "named pipe" : "link loop");
        const QString path = home.filePath(
            QStringLiteral("Library/Mobile Documents/KeyValueStore/%1.plist").arg(pipe ? "pipe" : "loop"));
        ASSERT_TRUE(pipe ? TestSupport::HostileFiles::makePipe(path)
                         : TestSupport::HostileFiles::makeLinkLoop(path));
        const auto took = TestSupport::timeWithPipes({path}, [&path] {
            CloudKeyValueStore store(path);
            EXPECT_FALSE(store.synchronize());
            EXPECT_FALSE(store.setValue("k", 1));
            EXPECT_TRUE(store.dictionaryRepresentation().isEmpty());
        });
        EXPECT_LT(took, TestSupport::stuckOnAPipe);
        const QFileInfo info(path);
        EXPECT_TRUE(pipe ? !info.isSymLink() && !info.isFile() : info.isSymLink());
        EXPECT_FALSE(QFileInfo::exists(path + ".corrupt"));
    }
}
