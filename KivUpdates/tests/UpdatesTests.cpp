#include "KivUpdates/CheckForUpdatesButton.h"
#include "KivUpdates/KivUpdates.h"

#include "platform/Alerts.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QAction>
#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

using Kind = Updater::Result::Kind;

namespace {

QByteArray feed(const QList<QByteArray> &items)
{
    QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><title>T</title>)";
    for (const QByteArray &item : items)
        body += "<item>" + item + "</item>";
    return body + "</channel></rss>";
}

// A loopback HTTP server that answers every request with one prepared response, or not at all.
class FeedServer : public QTcpServer
{
public:
    FeedServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    request += socket->readAll();
                    if (!request.contains("\r\n\r\n") || silent)
                        return;
                    socket->write("HTTP/1.1 " + status
                                  + "\r\nContent-Type: application/rss+xml\r\nContent-Length: "
                                  + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(serverPort()); }

    QByteArray status = "200 OK";
    QByteArray body;
    QByteArray request;
    bool silent = false;
};

class UpdatesTest : public TestSupport::TempHomeTest
{
protected:
    UpdatesTest()
    {
        updater.setPresenter([this](const Updater::Result &result, bool user) {
            results.append({result, user});
        });
    }

    // Runs one check to its end.
    Updater::Result check(bool user)
    {
        const qsizetype before = results.size();
        user ? updater.checkForUpdates() : updater.checkForUpdatesInBackground();
        EXPECT_TRUE(
            TestSupport::waitUntil([&] { return results.size() > before; }, std::chrono::seconds(15)));
        return results.isEmpty() ? Updater::Result() : results.last().first;
    }

    void useFeed(const QString &address)
    {
        Platform::UserDefaults::standard().setValue(Updater::feedURLKey, address);
    }

    Updater updater {[] {
        return QStringLiteral("1.1");
    }};
    QList<std::pair<Updater::Result, bool>> results;
    FeedServer server;
};

TEST_F(UpdatesTest, FeedIsParsedWithLimits)
{
    const QList<FeedItem> items = UpdateFeed::parse(feed(
        {R"(<title>1.2</title><link>https://example.org/1.2</link><sparkle:version>120</sparkle:version><sparkle:shortVersionString>1.2</sparkle:shortVersionString>)",
         R"(<enclosure url="https://example.org/t.tar" sparkle:version="1.3.1" length="1"/><sparkle:releaseNotesLink>https://example.org/notes</sparkle:releaseNotesLink>)",
         R"(<title>no version</title>)", R"(<sparkle:version>soon</sparkle:version>)"}));
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].version.string, "1.2");
    EXPECT_EQ(items[0].link, QUrl("https://example.org/1.2"));
    EXPECT_EQ(UpdateFeed::newest(items).version.string, "1.3.1");
    EXPECT_EQ(UpdateFeed::newest(items).link, QUrl("https://example.org/notes"));

    for (const char *valid : {"1", "1.2.3", "1.0-beta.2", "2.0.0.17"})
        EXPECT_TRUE(UpdateFeed::isValidVersion(valid)) << valid;
    for (const char *invalid : {"", "v1.2", "1..2", "1.2 ", "latest", "-1"})
        EXPECT_FALSE(UpdateFeed::isValidVersion(invalid)) << invalid;

    QByteArray deep = "<rss>";
    for (int i = 0; i < 100; ++i)
        deep += "<a>";
    const QList<QByteArray> bad {"",
                                 "<rss><channel><item>",
                                 "<html><body>Hello</body></html>",
                                 feed({"<title>none</title>"}),
                                 deep,
                                 R"(<?xml version="1.0"?><!DOCTYPE rss [<!ENTITY a "aaaa">]><rss>&a;</rss>)",
                                 QByteArray(UpdateFeed::maximumSize + 1, ' ')};
    for (const QByteArray &document : bad)
        EXPECT_THROW(UpdateFeed::parse(document), UpdateFeed::Error) << document.left(60).toStdString();
}

TEST_F(UpdatesTest, ChecksAgainstALoopbackFeed)
{
    // No address: a user hears about the package manager; an automatic check stays silent.
    EXPECT_EQ(check(true).kind, Kind::noFeed);
    EXPECT_EQ(check(false).kind, Kind::noFeed);
    EXPECT_TRUE(server.request.isEmpty());

    useFeed(server.address());
    server.body = feed({R"(<sparkle:version>1.2.0</sparkle:version><link>https://example.org/1.2.0</link>)",
                        R"(<sparkle:version>1.0</sparkle:version>)"});
    Updater::Result result = check(true);
    EXPECT_EQ(result.kind, Kind::newer);
    EXPECT_EQ(result.item.version.string, "1.2.0");
    EXPECT_EQ(result.item.link, QUrl("https://example.org/1.2.0"));
    EXPECT_TRUE(server.request.startsWith("GET /appcast.xml"));

    server.body = feed({R"(<sparkle:version>1.1</sparkle:version>)"});
    EXPECT_EQ(check(true).kind, Kind::upToDate);
    server.body = feed({R"(<sparkle:version>0.9</sparkle:version>)"});
    EXPECT_EQ(check(false).kind, Kind::upToDate);

    for (const QByteArray &body : {QByteArray("<rss><channel><item>"), feed({"<title>1.3</title>"})}) {
        server.body = body;
        result = check(true);
        EXPECT_EQ(result.kind, Kind::failed);
        EXPECT_FALSE(result.message.isEmpty());
    }
    server.status = "404 Not Found";
    EXPECT_EQ(check(true).kind, Kind::failed);
    server.status = "200 OK";
    server.body = QByteArray(UpdateFeed::maximumSize + 10, 'x');
    EXPECT_EQ(check(true).message, "The update feed is too large.");

    // Nobody listens there any more.
    const QString address = server.address();
    server.close();
    useFeed(address);
    EXPECT_EQ(check(true).kind, Kind::failed);
    useFeed("ftp://example.org/feed");
    EXPECT_EQ(check(true).message, "The update feed address is not valid.");
}

TEST_F(UpdatesTest, ASilentServerTimesOutAndAlertsSpeakAsAsked)
{
    server.silent = true;
    useFeed(server.address());
    updater.setTimeout(std::chrono::milliseconds(300));
    const auto started = std::chrono::steady_clock::now();
    const Updater::Result result = check(true);
    EXPECT_EQ(result.kind, Kind::failed);
    EXPECT_EQ(result.message, "The update server did not answer in time.");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

    // The alerts: a user's check always hears one; an automatic one only of a newer version.
    Platform::ScriptedAlertAnswerer answerer;
    QList<QUrl> opened;
    Platform::Workspace::shared().setUrlOpener([&](const QUrl &url) {
        opened.append(url);
        return true;
    });
    QCoreApplication::setApplicationVersion("1.1");
    const FeedItem newer {KivUtilities::Version("1.2"), QUrl("https://example.org/1.2")};
    Updater::presentWithAlerts({Kind::noFeed, {}, {}}, false);
    Updater::presentWithAlerts({Kind::upToDate, newer, {}}, false);
    Updater::presentWithAlerts({Kind::failed, {}, "x"}, false);
    EXPECT_TRUE(answerer.alerts().isEmpty());
    Updater::presentWithAlerts({Kind::noFeed, {}, {}}, true);
    Updater::presentWithAlerts({Kind::upToDate, newer, {}}, true);
    Updater::presentWithAlerts({Kind::failed, {}, "The update feed could not be read."}, true);
    answerer.answer("Open Release Page");
    Updater::presentWithAlerts({Kind::newer, newer, {}}, false);
    ASSERT_EQ(answerer.alerts().size(), 4);
    EXPECT_TRUE(answerer.alerts()[0].informativeText.contains("package manager"));
    EXPECT_EQ(answerer.alerts()[1].message, "You're up to date.");
    EXPECT_EQ(answerer.alerts()[2].message, "Could not check for updates");
    EXPECT_EQ(answerer.alerts()[2].informativeText, "The update feed could not be read.");
    EXPECT_TRUE(answerer.alerts()[3].informativeText.contains("1.2"));
    EXPECT_EQ(opened, QList<QUrl>({QUrl("https://example.org/1.2")}));
    Platform::Workspace::shared().setUrlOpener({});
    QCoreApplication::setApplicationVersion(QString());
}

TEST_F(UpdatesTest, StartUpAsksOnceAndTheButtonHoldsTheUpdaterWeakly)
{
    Platform::ScriptedAlertAnswerer answerer;
    auto updates = std::make_unique<KivUpdates>(false, [] { return QStringLiteral("1.1"); });
    EXPECT_FALSE(updates->controller().updater().automaticallyChecksForUpdates());
    auto automatic = std::make_unique<KivUpdates>(true);
    EXPECT_TRUE(automatic->controller().updater().automaticallyChecksForUpdates());
    // Without a feed the start-up checks say nothing.
    QCoreApplication::processEvents();
    EXPECT_TRUE(answerer.alerts().isEmpty());

    std::unique_ptr<QAction> item(checkForUpdatesButton(updates.get(), true, nullptr));
    EXPECT_EQ(item->property("symbol").toString(), "arrow.triangle.2.circlepath");
    item->trigger();
    ASSERT_EQ(answerer.alerts().size(), 1);
    EXPECT_EQ(answerer.alerts()[0].message, "Updates come from your package manager");
    std::unique_ptr<QAction> plain(checkForUpdatesButton(updates.get(), false, nullptr));
    EXPECT_TRUE(plain->icon().isNull());
    updates.reset();
    item->trigger();
    EXPECT_EQ(answerer.alerts().size(), 1);
}

} // namespace
