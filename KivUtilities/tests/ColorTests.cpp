#include "KivUtilities/Color.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace KivUtilities;

TEST(Color, ReadsOnlyStrictHexTexts)
{
    for (const char *good : {"#1a2B3c", "#1A2B3C"})
        EXPECT_EQ(colorFromHex(good), QColor(0x1A, 0x2B, 0x3C)) << good;
    // Full-width digits and a digit with a combining mark are not hexadecimal digits.
    for (const char *bad :
         {"1A2B3C", "#1A2B3", "#1A2B3C4D", "#ABC", "#GG0000", "", "#", " #1A2B3C", "#1A2B3 ", "#+F0000",
          "#-00000", "#0x1234", "x1A2B3C", "#１１１１１１", "#11111\u03011"})
        EXPECT_FALSE(colorFromHex(QString::fromUtf8(bad)).has_value()) << bad;
}

TEST(Color, WritesUpperCaseSixDigitTexts)
{
    EXPECT_EQ(hexString(QColor("#1a2b3c")), "#1A2B3C");
    // 127.5 rounds half away from zero; out-of-range components are clamped.
    EXPECT_EQ(rgbHexString(0.5, 0.5, 0.5), "#808080");
    EXPECT_EQ(rgbHexString(1.2, -0.1, 0.0), "#FF0000");
    EXPECT_EQ(rgbHexString(std::nan(""), 1.0, 0.0), "#00FF00");
    // The opacity is not stored; other colour models are converted; an invalid colour is black.
    EXPECT_EQ(hexString(QColor(10, 20, 30, 40)), "#0A141E");
    EXPECT_EQ(hexString(QColor::fromHsv(0, 255, 255)), "#FF0000");
    EXPECT_EQ(hexString(QColor::fromRgbF(1.5f, 0.5f, -0.25f)), "#FF8000");
    EXPECT_EQ(hexString(QColor()), "#000000");
    for (int v = 0; v < 256; ++v) {
        const QColor c(v, 255 - v, (v * 7) % 256);
        EXPECT_EQ(colorFromHex(hexString(c)), c) << v;
    }
}
