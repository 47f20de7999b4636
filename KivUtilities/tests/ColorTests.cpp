#include "KivUtilities/Color.h"

#include <gtest/gtest.h>

#include <cmath>

using KivUtilities::colorFromHex;
using KivUtilities::hexString;
using KivUtilities::rgbHexString;

TEST(Color, ReadsOnlyStrictHexTexts)
{
    const auto lower = colorFromHex(QStringLiteral("#1a2B3c"));
    const auto upper = colorFromHex(QStringLiteral("#1A2B3C"));
    ASSERT_TRUE(lower.has_value());
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(*lower, *upper);
    EXPECT_EQ(upper->red(), 0x1A);
    EXPECT_EQ(upper->green(), 0x2B);
    EXPECT_EQ(upper->blue(), 0x3C);
    EXPECT_EQ(upper->alpha(), 255);

    for (const char *bad : {"1A2B3C", "#1A2B3", "#1A2B3C4D", "#ABC", "#GG0000", "", "#", " #1A2B3C",
                            "#1A2B3 ", "#+F0000", "#-00000", "#0x1234", "x1A2B3C"}) {
        EXPECT_FALSE(colorFromHex(QString::fromUtf8(bad)).has_value()) << bad;
    }
    // Full-width digits and a digit with a combining mark are not hexadecimal digits.
    EXPECT_FALSE(colorFromHex(QStringLiteral("#\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11")).has_value());
    EXPECT_FALSE(colorFromHex(QStringLiteral("#11111\u03011")).has_value());
}

TEST(Color, WritesUpperCaseSixDigitTexts)
{
    EXPECT_EQ(hexString(QColor(QStringLiteral("#1a2b3c"))), QStringLiteral("#1A2B3C"));
    EXPECT_EQ(hexString(QColor(QStringLiteral("#FFFFFF"))), QStringLiteral("#FFFFFF"));
    EXPECT_EQ(hexString(QColor(QStringLiteral("#000000"))), QStringLiteral("#000000"));

    // 127.5 rounds half away from zero; out-of-range components are clamped.
    EXPECT_EQ(rgbHexString(0.5, 0.5, 0.5), QStringLiteral("#808080"));
    EXPECT_EQ(rgbHexString(1.2, -0.1, 0.0), QStringLiteral("#FF0000"));
    EXPECT_EQ(rgbHexString(std::nan(""), 1.0, 0.0), QStringLiteral("#00FF00"));

    // The opacity is not stored; other colour models are converted; an invalid colour is black.
    EXPECT_EQ(hexString(QColor(10, 20, 30, 40)), QStringLiteral("#0A141E"));
    EXPECT_EQ(hexString(QColor::fromHsv(0, 255, 255)), QStringLiteral("#FF0000"));
    EXPECT_EQ(hexString(QColor::fromRgbF(1.5f, 0.5f, -0.25f)), QStringLiteral("#FF8000"));
    EXPECT_EQ(hexString(QColor()), QStringLiteral("#000000"));

    // Every byte value survives the round trip.
    for (int v = 0; v < 256; ++v) {
        const QColor c(v, 255 - v, (v * 7) % 256);
        const auto back = colorFromHex(hexString(c));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->rgb(), c.rgb()) << v;
    }
}
