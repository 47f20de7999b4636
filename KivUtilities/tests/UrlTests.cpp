#include "KivUtilities/Url.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace KivUtilities;

TEST(Url, AppendsCampaignItemsAfterExistingOnes)
{
    const auto restore = qScopeGuard(
        [old = QCoreApplication::applicationName()] { QCoreApplication::setApplicationName(old); });
    QCoreApplication::setApplicationName("Two  Spaces Here");
    EXPECT_EQ(campaignSource(), "two--spaces-here");
    QCoreApplication::setApplicationName("My App");
    EXPECT_EQ(addingCampaignQueryItems(QUrl("https://example.com/a/b?ref=x#part")),
              QUrl("https://example.com/a/b?ref=x&utm_source=my-app&utm_medium=app#part"));
    EXPECT_EQ(addingCampaignQueryItems(QUrl("https://example.com/page")).toString(),
              "https://example.com/page?utm_source=my-app&utm_medium=app");
    EXPECT_EQ(addingCampaignQueryItems(QUrl("https://example.com/?utm_source=old")).query(),
              "utm_source=old&utm_source=my-app&utm_medium=app");
    // Existing encoded items keep their exact form.
    EXPECT_EQ(addingCampaignQueryItems(QUrl("https://example.com/?q=a%26b+c")).query(QUrl::FullyEncoded),
              "q=a%26b+c&utm_source=my-app&utm_medium=app");
    const QUrl invalid("http://exa mple.com:99999");
    ASSERT_FALSE(invalid.isValid());
    EXPECT_EQ(addingCampaignQueryItems(invalid), invalid);
}

TEST(Url, ExtraItemsKeepReservedCharactersInsideTheirValue)
{
    const QUrl base("https://example.com/x?a=1");
    EXPECT_EQ(addingQueryItems(base, {}), base);
    const QUrl url = addingQueryItems(base, {{"q", "a&b=c+d #e"}, {"name", "Zoë"}});
    EXPECT_EQ(queryParameters(url),
              (QMap<QString, QString> {{"a", "1"}, {"q", "a&b=c+d #e"}, {"name", "Zoë"}}));
    EXPECT_EQ(url.fragment(), QString());
}

TEST(Url, ReadsQueryParameters)
{
    EXPECT_TRUE(queryParameters(QUrl("https://example.com/")).isEmpty());
    EXPECT_EQ(queryParameters(QUrl("https://example.com/?a=1&&b&c=%41&d=1=2&=e&g=a+b&a=2")),
              (QMap<QString, QString> {{"a", "2"}, {"b", ""}, {"c", "A"}, {"e", ""}, {"g", "a+b"}}));
    // A value that does not decode removes an earlier value of the same name; so do bytes that are
    // not UTF-8.
    EXPECT_EQ(queryParameters(QUrl("https://example.com/?k=1&k=%E2%28&m=%C3%A9")),
              (QMap<QString, QString> {{"m", "é"}}));
}
