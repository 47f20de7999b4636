#include "KivDesktopBackground/Background.h"
#include "KivDesktopBackground/BackgroundCodingError.h"

#include <QSet>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using KivDesktopBackground::Background;
using KivDesktopBackground::BackgroundCodingError;
using KivDesktopBackground::SerializableLinearGradient;
using Stop = SerializableLinearGradient::Stop;

namespace {

bool decodes(const char *text)
{
    return Background::fromRawValue(QString::fromUtf8(text)).has_value();
}

} // namespace

TEST(BackgroundJson, WritesCompactTextWithTypeFirstAndOnePayloadKey)
{
    EXPECT_EQ(Background::color(QColor::fromRgb(255, 0, 16)).rawValue(),
              QStringLiteral(R"({"type":"color","color":"#FF0010"})"));
    EXPECT_EQ(Background::image(QUrl::fromLocalFile("/tmp/My Pictures/sea.jpg")).rawValue(),
              QStringLiteral(R"({"type":"image","url":"file:///tmp/My%20Pictures/sea.jpg"})"));
    const SerializableLinearGradient gradient(90,
                                              {Stop {QColor::fromRgb(0, 0, 0), 0.0}, Stop {Qt::white, {}}});
    EXPECT_EQ(Background::linearGradient(gradient).rawValue(),
              QStringLiteral(R"({"type":"linearGradient","gradient":{"angle":90.0,"stops":[)"
                             R"({"color":"#000000","location":0.0},{"color":"#FFFFFF"}]}})"));
}

TEST(BackgroundJson, ColourRoundTripKeepsComponentsAndDropsOpacity)
{
    const QColor translucent = QColor::fromRgbF(0.2f, 0.5f, 0.7f, 0.3f);
    const auto back = Background::fromRawValue(Background::color(translucent).rawValue());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->colorValue(), QColor::fromRgb(51, 128, 179)) << "opaque";

    // Components outside 0...1 are clamped.
    const QColor extended = QColor::fromRgbF(1.4f, -0.3f, 0.5f);
    EXPECT_EQ(Background::color(extended).rawValue(),
              QStringLiteral(R"({"type":"color","color":"#FF0080"})"));

    // Lower-case digits read, and come back upper-case.
    const auto lower = Background::fromRawValue(QStringLiteral(R"({"type":"color","color":"#a0b1cf"})"));
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->rawValue(), QStringLiteral(R"({"type":"color","color":"#A0B1CF"})"));
}

TEST(BackgroundJson, RejectsEverythingButStrictValues)
{
    // Colour texts: short form, missing "#", with opacity, with a blank, non-hex digits.
    for (const char *text :
         {R"({"type":"color","color":"#FFF"})", R"({"type":"color","color":"FFFFFF"})",
          R"({"type":"color","color":"#FFFFFFFF"})", R"({"type":"color","color":" #FFFFFF"})",
          R"({"type":"color","color":"#GG0000"})", R"({"type":"color","color":"#+1+1+1"})",
          R"({"type":"color","color":0})"}) {
        EXPECT_FALSE(decodes(text)) << text;
    }
    // Tags are case-sensitive and only three exist; "type" must be present and a string.
    EXPECT_FALSE(decodes(R"({"type":"Color","color":"#FFFFFF"})"));
    EXPECT_FALSE(decodes(R"({"type":"gradient","gradient":{"angle":0,"stops":[]}})"));
    EXPECT_FALSE(decodes(R"({"color":"#FFFFFF"})"));
    EXPECT_FALSE(decodes(R"({"type":1,"color":"#FFFFFF"})"));
    // Payload missing, wrong shape, not an object, not JSON at all.
    EXPECT_FALSE(decodes(R"({"type":"image"})"));
    EXPECT_FALSE(decodes(R"({"type":"image","url":""})"));
    EXPECT_FALSE(decodes(R"({"type":"image","url":"file:///a b.png"})"));
    EXPECT_FALSE(decodes(R"({"type":"linearGradient","gradient":{"stops":[]}})"));
    EXPECT_FALSE(decodes(R"({"type":"linearGradient","gradient":{"angle":"0","stops":[]}})"));
    EXPECT_FALSE(decodes(R"({"type":"linearGradient","gradient":{"angle":0,"stops":{}}})"));
    EXPECT_FALSE(decodes(R"({"type":"linearGradient","gradient":{"angle":0,"stops":[{"location":0}]}})"));
    EXPECT_FALSE(decodes(
        R"({"type":"linearGradient","gradient":{"angle":0,"stops":[{"color":"#FFFFFF","location":"0"}]}})"));
    EXPECT_FALSE(decodes(R"({"type":"linearGradient","gradient":{"angle":0,"stops":[{"color":"#FFF"}]}})"));
    EXPECT_FALSE(decodes("{}"));
    EXPECT_FALSE(decodes(R"([{"type":"color","color":"#FFFFFF"}])"));
    EXPECT_FALSE(decodes(R"({"type":"color","color":"#FFFFFF",})"));
    EXPECT_FALSE(decodes(""));

    // The colour failure names the key and the rejected text.
    try {
        Background::fromJson(nlohmann::ordered_json::parse(R"({"type":"color","color":"#12345"})"));
        FAIL() << "expected a coding error";
    } catch (const BackgroundCodingError &error) {
        EXPECT_EQ(error.key(), QStringLiteral("color"));
        EXPECT_EQ(error.message(), QStringLiteral("Invalid color hex string: #12345"));
    }
}

TEST(BackgroundJson, ReadsOnlyThePayloadOfItsType)
{
    const auto image = Background::fromRawValue(
        QStringLiteral(R"({"color":"#FFFFFF","url":"file:///tmp/a.png","type":"image","extra":[1]})"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind(), Background::Kind::image);
    EXPECT_EQ(image->url(), QUrl::fromLocalFile("/tmp/a.png"));
    // A null location reads as no location, and a stop written without one has no key.
    const auto gradient = Background::fromRawValue(QStringLiteral(
        R"({"type":"linearGradient","gradient":{"angle":45,"stops":[{"color":"#000000","location":null},{"color":"#FFFFFF","location":1}]}})"));
    ASSERT_TRUE(gradient);
    ASSERT_EQ(gradient->gradient()->stops.size(), 2);
    EXPECT_FALSE(gradient->gradient()->stops[0].location);
    EXPECT_EQ(gradient->gradient()->stops[1].location, 1.0);
    EXPECT_FALSE(gradient->rawValue().contains(QStringLiteral("null")));
}

TEST(BackgroundJson, EqualityAndHashing)
{
    const Background spaced = Background::image(QUrl::fromLocalFile("/tmp/a b/c.png"));
    const auto reread = Background::fromRawValue(spaced.rawValue());
    ASSERT_TRUE(reread);
    EXPECT_EQ(*reread, spaced);
    EXPECT_EQ(qHash(*reread), qHash(spaced));

    // No path normalisation.
    EXPECT_NE(Background::image(QUrl(QStringLiteral("file:///tmp/./c.png"))),
              Background::image(QUrl(QStringLiteral("file:///tmp/c.png"))));
    // Kinds never compare equal, even when they look alike.
    EXPECT_NE(Background::color(Qt::black),
              Background::linearGradient(SerializableLinearGradient(0, {Stop {Qt::black, 0.0}})));
    // Angles are compared exactly; 0 and 360 differ.
    EXPECT_NE(Background::linearGradient(SerializableLinearGradient(0, {})),
              Background::linearGradient(SerializableLinearGradient(360, {})));
    // A stop with a location differs from one without.
    EXPECT_NE(SerializableLinearGradient(0, {Stop {Qt::red, 0.0}}),
              SerializableLinearGradient(0, {Stop {Qt::red, {}}}));

    QSet<Background> set {Background::color(Qt::red), Background::color(QColor::fromRgb(255, 0, 0)),
                          Background::clear()};
    EXPECT_EQ(set.size(), 2);
}

TEST(BackgroundJson, UnwritableValuesBecomeEmptyObject)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Background::linearGradient(SerializableLinearGradient(nan, {})).rawValue(),
              QStringLiteral("{}"));
    EXPECT_EQ(Background::linearGradient(
                  SerializableLinearGradient(0, {Stop {Qt::red, std::numeric_limits<double>::infinity()}}))
                  .rawValue(),
              QStringLiteral("{}"));
}

TEST(BackgroundClear, OnlyInvisibleValuesAreClear)
{
    EXPECT_TRUE(Background::clear().isClear());
    EXPECT_TRUE(Background::color(QColor(255, 0, 0, 0)).isClear());
    EXPECT_FALSE(Background::color(Qt::red).isClear());
    EXPECT_TRUE(Background::linearGradient(SerializableLinearGradient(0, {})).isClear());
    EXPECT_TRUE(Background::linearGradient(
                    SerializableLinearGradient(0, {Stop {Qt::transparent, {}}, Stop {Qt::transparent, {}}}))
                    .isClear());
    EXPECT_FALSE(Background::linearGradient(
                     SerializableLinearGradient(0, {Stop {Qt::transparent, {}}, Stop {Qt::blue, {}}}))
                     .isClear());
    EXPECT_FALSE(Background::image(QUrl::fromLocalFile("/nonexistent/file.png")).isClear());
}
