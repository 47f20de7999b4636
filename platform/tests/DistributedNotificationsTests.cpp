#include "platform/DistributedNotifications.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QDBusConnection>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <thread>

using Platform::DistributedNotification;
using Platform::DistributedNotifications;

namespace {

class BusListener : public QObject
{
    Q_OBJECT

public:
    QList<QStringList> received;

public slots:
    void posted(const QString &name, const QString &object, const QVariantMap &userInfo)
    {
        received.append(
            {name, object, userInfo.value("reason").toString(), userInfo.value("when").toString()});
    }
};

class DistributedNotificationsTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override { center.clearPosted(); }
    DistributedNotifications &center = DistributedNotifications::defaultCenter();
};

TEST_F(DistributedNotificationsTest, PostsAreRecordedInOrderFromAnyThread)
{
    QSignalSpy spy(&center, &DistributedNotifications::notificationPosted);
    center.post("AppleAquaColorVariantChanged");
    std::thread worker([this] {
        center.post("kCUINotificationReduceDesktopTintingChanged", "", {{"on", true}});
    });
    worker.join();
    center.post("NSReduceDesktopTintingDidChangeNotification", "com.quorvane.Tapestrel");

    const QList<DistributedNotification> expected {
        {"AppleAquaColorVariantChanged", "", {}},
        {"kCUINotificationReduceDesktopTintingChanged", "", {{"on", true}}},
        {"NSReduceDesktopTintingDidChangeNotification", "com.quorvane.Tapestrel", {}},
    };
    EXPECT_EQ(center.posted(), expected);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return spy.count() >= 3; }));
    EXPECT_EQ(spy.count(), 3);
}

TEST_F(DistributedNotificationsTest, PostsReachTheSessionBus)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        EXPECT_FALSE(center.post("AppleAquaColorVariantChanged")); // still recorded, just not sent
        EXPECT_EQ(center.posted().size(), 1);
        GTEST_SKIP() << "no session bus";
    }
    BusListener listener;
    ASSERT_TRUE(bus.connect(bus.baseService(), DistributedNotifications::dbusPath,
                            DistributedNotifications::dbusInterface, DistributedNotifications::dbusMember,
                            &listener, SLOT(posted(QString, QString, QVariantMap))));
    EXPECT_TRUE(
        center.post("AppleAquaColorVariantChanged", "obj",
                    {{"reason", "accent"}, {"when", QDateTime(QDate(2026, 12, 7), QTime(4, 30), Qt::UTC)}}));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !listener.received.isEmpty(); }));
    ASSERT_EQ(listener.received.size(), 1);
    EXPECT_EQ(listener.received[0].first(3), QStringList({"AppleAquaColorVariantChanged", "obj", "accent"}));
    EXPECT_TRUE(listener.received[0][3].startsWith("2026-12-07T04:30"));
}

} // namespace

#include "DistributedNotificationsTests.moc"
