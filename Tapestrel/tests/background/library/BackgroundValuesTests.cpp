#include "LibraryFixture.h"

#include "KivUtilities/Color.h"
#include "Tapestrel/background/BackgroundColorStore.h"
#include "Tapestrel/background/BackgroundGradientStore.h"
#include "Tapestrel/background/GradientGenerator.h"
#include "Tapestrel/background/NumberLabel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;

namespace {

// Draws the given fractions of each range in turn.
GradientGenerator scripted(QList<double> fractions)
{
    auto shared = std::make_shared<QList<double>>(std::move(fractions));
    return GradientGenerator([shared](double low, double high) {
        return low + (shared->isEmpty() ? 0.0 : shared->takeFirst()) * (high - low);
    });
}

double hueOf(const QColor &color)
{
    return color.hsvHueF();
}

} // namespace

TEST(BackgroundValues, NumberLabelTruncatesAndSurvivesAnyNumber)
{
    using Format = NumberLabel::Format;
    EXPECT_EQ(NumberLabel::formatted(0.5, Format::percent), " 50%");
    EXPECT_EQ(NumberLabel::formatted(1.0, Format::percent), "100%");
    EXPECT_EQ(NumberLabel::formatted(0.29, Format::percent), " 28%");
    EXPECT_EQ(NumberLabel::formatted(-0.079, Format::percent), " -7%");
    EXPECT_EQ(NumberLabel::formatted(45.9, Format::degrees), QString::fromUtf8(" 45°"));
    EXPECT_EQ(NumberLabel::formatted(std::nan(""), Format::degrees), QString::fromUtf8("  0°"));
    EXPECT_EQ(NumberLabel::formatted(std::numeric_limits<double>::infinity(), Format::percent), "  0%");
    EXPECT_EQ(NumberLabel::formatted(1e300, Format::degrees), QString::fromUtf8("9223372036854774784°"));
    EXPECT_EQ(NumberLabel::formatted(-1e300, Format::degrees), QString::fromUtf8("-9223372036854775808°"));
}

TEST(BackgroundValues, OnlyStrictUriReferencesReadAsImages)
{
    for (const char *text : {"file:///Users/me/Pictures/Sky%20Blue.jpg", "garbage", "pictures/sky.jpg",
                             "http://[::1]:8080/a?b=c#d", "mailto:me@example.com", "a%2Fb"}) {
        EXPECT_TRUE(BackgroundOptionModel::isUriReference(QString::fromUtf8(text))) << text;
    }
    const Background gradient = Background::linearGradient(SerializableLinearGradient(90, {{Qt::red, 0.0}}));
    for (const QString &text :
         QStringList {Background::color(Qt::red).rawValue(), gradient.rawValue(), "two words", "100%", "%4g",
                      "1x:y", "a[b]", "http://h:8a/", "caf\u00E9.jpg", "a#b#c"}) {
        EXPECT_FALSE(BackgroundOptionModel::isUriReference(text)) << text.toStdString();
    }
    EXPECT_EQ(BackgroundOptionModel::selection("pictures/sky.jpg"),
              Background::image(QUrl("pictures/sky.jpg")));
    EXPECT_EQ(BackgroundOptionModel::selection(gradient.rawValue()), gradient);
    EXPECT_EQ(BackgroundOptionModel::selection("{not json"), Background::clear());
    EXPECT_EQ(BackgroundOptionModel::selection(""), Background::clear());
}

TEST(BackgroundValues, RandomColorsSpreadSeventyDegreesAroundTheBaseHue)
{
    QList<QColor> colors = scripted({0.5, 0.5, 0.5}).randomColors(3);
    ASSERT_EQ(colors.size(), 3);
    EXPECT_NEAR(hueOf(colors[0]), 0.5 - 35.0 / 360, 1e-4);
    EXPECT_NEAR(hueOf(colors[1]), 0.5, 1e-4);
    EXPECT_NEAR(hueOf(colors[2]), 0.5 + 35.0 / 360, 1e-4);
    for (const QColor &color : colors) {
        EXPECT_NEAR(color.hsvSaturationF(), 0.775, 1e-3);
        EXPECT_NEAR(color.valueF(), 0.875, 1e-3);
        EXPECT_EQ(color.alphaF(), 1.0);
    }
    EXPECT_NEAR(hueOf(scripted({0.02, 0, 0}).randomColors(2)[0]), 0.9228, 1e-4);
    EXPECT_NEAR(hueOf(scripted({0.99, 0, 0}).randomColors(2)[1]), 0.0872, 1e-4);
    // One colour is the base hue itself; none is an empty list (the draws still happen).
    EXPECT_NEAR(hueOf(scripted({0.25, 0, 0}).randomColors(1).value(0)), 0.25, 1e-4);
    EXPECT_TRUE(scripted({}).randomColors(0).isEmpty());

    // Gradients have at least two stops at explicit, even locations, top to bottom.
    for (int count : {0, 1, 2}) {
        const SerializableLinearGradient gradient = scripted({0.5, 0.5, 0.5}).randomGradient(count);
        EXPECT_EQ(gradient.angle, 90);
        ASSERT_EQ(gradient.stops.size(), 2);
        EXPECT_EQ(gradient.stops[0].location, 0.0);
        EXPECT_EQ(gradient.stops[1].location, 1.0);
        EXPECT_NEAR(hueOf(gradient.stops[1].color) - hueOf(gradient.stops[0].color), 70.0 / 360, 1e-4);
    }
    const SerializableLinearGradient three = scripted({0.5, 0.5, 0.5}).randomGradient(3);
    ASSERT_EQ(three.stops.size(), 3);
    EXPECT_EQ(three.stops[1].location, 0.5);
}

TEST(BackgroundValues, PresetsAreFixedListsWithFreshIds)
{
    const BackgroundColorStore colors;
    ASSERT_EQ(colors.backgrounds().size(), 10);

    const BackgroundGradientStore first, second;
    ASSERT_EQ(first.backgrounds().size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(first.backgrounds()[i].background(), second.backgrounds()[i].background());
        EXPECT_NE(first.backgrounds()[i].id(), second.backgrounds()[i].id());
        EXPECT_EQ(first.backgrounds()[i].id(), first.backgrounds()[i].id().toUpper());
    }
}
