#include "KivUtilities/Url.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace KivUtilities;

namespace {

class ApplicationName
{
public:
    explicit ApplicationName(const QString &name)
        : m_old(QCoreApplication::applicationName())
    {
        QCoreApplication::setApplicationName(name);
    }
    ~ApplicationName() { QCoreApplication::setApplicationName(m_old); }

private:
    QString m_old;
};

} // namespace

TEST(Url, AppendsCampaignItemsAfterExistingOnes)
{
    ApplicationName name(QStringLiteral("My App"));
    EXPECT_EQ(campaignSource(), QStringLiteral("my-app"));

    EXPECT_EQ(addingCampaignQueryItems(QUrl(QStringLiteral("https://example.com/a/b?ref=x#part"))),
              QUrl(QStringLiteral("https://example.com/a/b?ref=x&utm_source=my-app&utm_medium=app#part")));
    EXPECT_EQ(addingCampaignQueryItems(QUrl(QStringLiteral("https://example.com/page"))).toString(),
              QStringLiteral("https://example.com/page?utm_source=my-app&utm_medium=app"));
    EXPECT_EQ(addingCampaignQueryItems(QUrl(QStringLiteral("https://example.com/?utm_source=old"))).query(),
              QStringLiteral("utm_source=old&utm_source=my-app&utm_medium=app"));
    // Existing encoded items keep their exact form.
    EXPECT_EQ(addingCampaignQueryItems(QUrl(QStringLiteral("https://example.com/?q=a%26b+c")))
                  .query(QUrl::FullyEncoded),
              QStringLiteral("q=a%26b+c&utm_source=my-app&utm_medium=app"));

    const QUrl invalid(QStringLiteral("http://exa mple.com:99999"));
    ASSERT_FALSE(invalid.isValid());
    EXPECT_EQ(addingCampaignQueryItems(invalid), invalid);
}

TEST(Url, CampaignSourceReplacesEverySpace)
{
    ApplicationName spaced(QStringLiteral("Two  Spaces Here"));
    EXPECT_EQ(campaignSource(), QStringLiteral("two--spaces-here"));
}

TEST(Url, ExtraItemsKeepReservedCharactersInsideTheirValue)
{
    const QUrl base(QStringLiteral("https://example.com/x?a=1"));
    EXPECT_EQ(addingQueryItems(base, {}), base);

    const QUrl url = addingQueryItems(base,
                                      {{QStringLiteral("q"), QStringLiteral("a&b=c+d #e")},
                                       {QStringLiteral("name"), QStringLiteral("Zoë")}});
    const auto parameters = queryParameters(url);
    EXPECT_EQ(parameters.size(), 3);
    EXPECT_EQ(parameters.value(QStringLiteral("a")), QStringLiteral("1"));
    EXPECT_EQ(parameters.value(QStringLiteral("q")), QStringLiteral("a&b=c+d #e"));
    EXPECT_EQ(parameters.value(QStringLiteral("name")), QStringLiteral("Zoë"));
    EXPECT_EQ(url.fragment(), QString());
}

TEST(Url, ReadsQueryParameters)
{
    EXPECT_TRUE(queryParameters(QUrl(QStringLiteral("https://example.com/"))).isEmpty());

    const auto parameters =
        queryParameters(QUrl(QStringLiteral("https://example.com/?a=1&&b&c=%41&d=1=2&=e&g=a+b&a=2")));
    const QMap<QString, QString> expected {{QStringLiteral("a"), QStringLiteral("2")},
                                           {QStringLiteral("b"), QString()},
                                           {QStringLiteral("c"), QStringLiteral("A")},
                                           {QStringLiteral("e"), QString()},
                                           {QStringLiteral("g"), QStringLiteral("a+b")}};
    EXPECT_EQ(parameters, expected);

    // A value that does not decode removes an earlier value of the same name; so do bytes that are
    // not UTF-8.
    const auto dropped = queryParameters(QUrl(QStringLiteral("https://example.com/?k=1&k=%E2%28&m=%C3%A9")));
    EXPECT_FALSE(dropped.contains(QStringLiteral("k")));
    EXPECT_EQ(dropped.value(QStringLiteral("m")), QStringLiteral("é"));
}
