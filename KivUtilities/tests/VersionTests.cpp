#include "KivUtilities/Version.h"

#include <gtest/gtest.h>

#include <tuple>

using KivUtilities::Version;
using Kind = KivUtilities::Version::Kind;

namespace {

Version v(const char *text)
{
    return Version(QString::fromUtf8(text));
}

} // namespace

TEST(Version, ParsesNumbersAndKindsSkippingPiecesThatAreNotNumbers)
{
    const struct
    {
        const char *text;
        std::int64_t major, minor, patch, build;
        Kind kind;
    } rows[] = {{"", 0, 0, 0, 0, Kind::stable},
                {"2.5", 2, 5, 0, 0, Kind::stable},
                {"1.0.90", 1, 0, 90, 0, Kind::beta},
                {"1.0.89", 1, 0, 89, 0, Kind::stable},
                {"1.0.95-alpha", 1, 0, 95, 0, Kind::alpha},
                {"1.0.95-rc1", 1, 0, 95, 0, Kind::beta},
                {"1.0.3-rc1", 1, 0, 3, 0, Kind::stable},
                {"1.0-Beta", 1, 0, 0, 0, Kind::beta},
                {"1.0-beta2", 1, 0, 0, 0, Kind::stable},
                {"1.2-beta-3", 1, 2, 0, 0, Kind::stable},
                {"1.2-", 1, 2, 0, 0, Kind::stable},
                {"-beta", 0, 0, 0, 0, Kind::beta},
                {"no numbers-ALPHA", 0, 0, 0, 0, Kind::alpha},
                {"1..2", 1, 2, 0, 0, Kind::stable},
                {"1.x.3", 1, 3, 0, 0, Kind::stable},
                {"x1.2", 2, 0, 0, 0, Kind::stable},
                {" 1.2", 2, 0, 0, 0, Kind::stable},
                {"+1.2", 1, 2, 0, 0, Kind::stable},
                {"1.+.2", 1, 2, 0, 0, Kind::stable},
                {"1.2.3.4.5", 1, 2, 3, 4, Kind::stable},
                {"9223372036854775807.1", 9223372036854775807, 1, 0, 0, Kind::stable},
                {"9223372036854775808.1", 1, 0, 0, 0, Kind::stable},
                {"99999999999999999999999.3", 3, 0, 0, 0, Kind::stable},
                // Arabic-Indic digits are digits to Unicode but not to a version text.
                {"\u0661.2", 2, 0, 0, 0, Kind::stable}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        const Version version = v(row.text);
        EXPECT_EQ(std::tie(version.major, version.minor, version.patch, version.build, version.kind),
                  std::tie(row.major, row.minor, row.patch, row.build, row.kind));
        EXPECT_EQ(version.string, QString::fromUtf8(row.text));
    }
}

TEST(Version, BuildsTextFromComponents)
{
    EXPECT_EQ(Version(2, 1, 0, 0, Kind::stable).string, "2.1");
    EXPECT_EQ(Version(2, 1, 0, 7, Kind::stable).string, "2.1.0.7");
    EXPECT_EQ(Version(0, 0, 0, 0, Kind::alpha).string, "0.0-alpha");
    EXPECT_EQ(Version(-1, 2, 0, 0, Kind::stable).string, "-1.2");
    const Version built(1, 0, 95, 0, Kind::stable);
    EXPECT_EQ(built.string, "1.0.95");
    EXPECT_EQ(built.kind, Kind::stable);
    EXPECT_EQ(v("1.0.95").kind, Kind::beta);
    EXPECT_EQ(Version(2, 1, 3, 0, Kind::beta), v("2.1.3-beta"));
}

TEST(Version, OrdersByNumbersThenKindAndComparesText)
{
    EXPECT_LT(v("1.0-alpha"), v("1.0-beta"));
    EXPECT_LT(v("1.0-beta"), v("1.0"));
    EXPECT_GT(v("1.0.0.5-alpha"), v("1.0.0.4"));
    EXPECT_GT(v("1.10"), v("1.9"));
    EXPECT_LT(v("2.3.94"), v("2.3.95"));
    EXPECT_LT(v("2.3.95"), v("2.4"));
    EXPECT_LT(Version(-1, 0, 0, 0, Kind::stable), v("0.0"));

    // Equal numbers under different texts: neither equal nor ordered.
    EXPECT_FALSE(v("1.2") == v("1.2.0"));
    EXPECT_FALSE(v("1.2") < v("1.2.0"));
    EXPECT_FALSE(v("1.2.0") < v("1.2"));
    EXPECT_TRUE(v("1.2") <= v("1.2.0"));
    EXPECT_TRUE(v("1.2") >= v("1.2.0"));
    EXPECT_TRUE(v("1.2") != v("1.2.0"));
    // Canonically equivalent texts are the same text.
    EXPECT_EQ(v("1.0-caf\u00e9"), v("1.0-cafe\u0301"));
    EXPECT_NE(v("1.0-caf\u00e9"), v("1.0-cafe"));
}

TEST(Version, IsStoredAsItsText)
{
    const Version beta = v("3.0-Beta");
    EXPECT_EQ(beta.toJson(), QJsonValue("3.0-Beta"));
    EXPECT_EQ(Version::fromJson(beta.toJson()), beta);
    EXPECT_FALSE(Version::fromJson(QJsonValue(3.0)).has_value());
    EXPECT_FALSE(Version::fromJson(QJsonValue()).has_value());
}
