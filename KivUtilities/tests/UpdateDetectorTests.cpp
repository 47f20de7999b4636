#include "KivUtilities/MakerURL.h"
#include "KivUtilities/URLStore.h"
#include "KivUtilities/UpdateDetector.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace KivUtilities;
using Platform::UserDefaults;

namespace {

const QString marker = QStringLiteral("didShowIntroduction");

class UpdateDetectorTest : public TestSupport::TempHomeTest
{
protected:
    std::optional<QString> running = QStringLiteral("1.2");
    UpdateDetector detector {UpdateDetector::defaultKey, [this] {
                                 return running;
                             }};
};

} // namespace

TEST_F(UpdateDetectorTest, RecordsTheFirstVersionOnceAndTellsAnUpdate)
{
    EXPECT_FALSE(detector.wasInitialized());
    detector.initialize(marker);
    EXPECT_TRUE(detector.wasInitialized());
    EXPECT_EQ(UserDefaults::standard().string(QStringLiteral("FirstInstalledVersion")),
              QStringLiteral("1.2"));
    EXPECT_FALSE(detector.differsFromFirstInstalledVersion());
    EXPECT_FALSE(detector.isNotFirstInstalledVersion());

    // The first run completes; an update starts later.
    UserDefaults::standard().setValue(marker, true);
    running = QStringLiteral("1.3");
    UpdateDetector updated(UpdateDetector::defaultKey, [this] { return running; });
    updated.initialize(marker);
    EXPECT_EQ(UserDefaults::standard().string(QStringLiteral("FirstInstalledVersion")),
              QStringLiteral("1.2"));
    EXPECT_TRUE(updated.differsFromFirstInstalledVersion());
    EXPECT_TRUE(updated.isNotFirstInstalledVersion());

    // Texts, not versions, are compared.
    running = QStringLiteral("1.2.0");
    EXPECT_TRUE(updated.differsFromFirstInstalledVersion());
}

TEST_F(UpdateDetectorTest, MissingVersionsAnswerByTheirOwnRules)
{
    // Marker present, nothing recorded: nothing is stored and both answers are true.
    UserDefaults::standard().setValue(marker, QStringLiteral("done"));
    detector.initialize(marker);
    EXPECT_FALSE(UserDefaults::standard().persistentValue(QStringLiteral("FirstInstalledVersion")).isValid());
    EXPECT_TRUE(detector.differsFromFirstInstalledVersion());
    EXPECT_TRUE(detector.isNotFirstInstalledVersion());

    // No readable running version: "Unknown" is stored and the two answers part.
    running.reset();
    detector.storeCurrentVersionAsFirstInstalled();
    EXPECT_EQ(UserDefaults::standard().string(QStringLiteral("FirstInstalledVersion")),
              QStringLiteral("Unknown"));
    EXPECT_FALSE(detector.differsFromFirstInstalledVersion());
    EXPECT_TRUE(detector.isNotFirstInstalledVersion());

    // The shared detector uses the application's version under the default key.
    const QString oldVersion = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("4.0-beta"));
    UpdateDetector::setShared(nullptr);
    UpdateDetector::shared().storeCurrentVersionAsFirstInstalled();
    EXPECT_EQ(UserDefaults::standard().string(QStringLiteral("FirstInstalledVersion")),
              QStringLiteral("4.0-beta"));
    QCoreApplication::setApplicationVersion(oldVersion);
    UpdateDetector::setShared(nullptr);
}

TEST(URLStore, BuildsAndOpensLinks)
{
    const QString raw = toRawValue(MakerURL::apps);
    EXPECT_EQ(URLStore::url(MakerURL::apps, false).toString(), raw);
    EXPECT_EQ(makerURLFromRawValue(raw), MakerURL::apps);
    EXPECT_EQ(makerURLFromRawValue(QStringLiteral("https://elsewhere.example")), std::nullopt);

    const QUrl withEverything =
        URLStore::url(MakerURL::contact, true, {{QStringLiteral("topic"), QStringLiteral("a b")}});
    const QString query = withEverything.query(QUrl::FullyEncoded);
    EXPECT_TRUE(query.startsWith(QStringLiteral("utm_source=")));
    EXPECT_TRUE(query.endsWith(QStringLiteral("&utm_medium=app&topic=a%20b"))) << query.toStdString();

    QList<QUrl> opened;
    Platform::Workspace::shared().setUrlOpener([&](const QUrl &link) {
        opened.append(link);
        return false; // a failure is not looked at
    });
    URLStore::open(MakerURL::newsletter, true);
    URLStore::open(MakerURL::apps, false, {{QStringLiteral("x"), QStringLiteral("1")}});
    Platform::Workspace::shared().setUrlOpener({});
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], URLStore::url(MakerURL::newsletter, true));
    EXPECT_EQ(opened[1].toString(), raw + QStringLiteral("?x=1"));
}
