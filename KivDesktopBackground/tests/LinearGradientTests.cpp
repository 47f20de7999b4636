#include "KivDesktopBackground/SerializableLinearGradient.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using KivDesktopBackground::SerializableLinearGradient;
using Stop = SerializableLinearGradient::Stop;

namespace {

void expectNear(QPointF actual, QPointF expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << "x";
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << "y";
}

QList<double> locations(const SerializableLinearGradient::ToolkitGradient &g)
{
    QList<double> result;
    for (const auto &stop : g.stops)
        result.append(stop.first);
    return result;
}

} // namespace

TEST(LinearGradient, DirectionFromAngle)
{
    auto points = [](double angle) {
        return SerializableLinearGradient(angle, {}).linearGradient();
    };
    expectNear(points(0).startPoint, {0, 0.5});
    expectNear(points(0).endPoint, {1, 0.5});
    expectNear(points(90).startPoint, {0.5, 0});
    expectNear(points(90).endPoint, {0.5, 1});
    expectNear(points(180).startPoint, {1, 0.5});
    expectNear(points(-90).startPoint, points(270).startPoint);
    expectNear(points(-90).endPoint, {0.5, 0});
    expectNear(points(360).endPoint, points(0).endPoint);
    // A diagonal runs on the circle of radius 0.5, not corner to corner.
    EXPECT_NEAR(points(45).startPoint.x(), 0.1464466, 1e-6);
    EXPECT_NEAR(points(45).endPoint.y(), 0.8535534, 1e-6);
}

TEST(LinearGradient, StopLocationsKeepListOrder)
{
    const QColor c = Qt::red;
    EXPECT_EQ(
        locations(SerializableLinearGradient(0, {Stop {c, {}}, Stop {c, {}}, Stop {c, {}}}).linearGradient()),
        (QList<double> {0, 0.5, 1}));
    EXPECT_EQ(locations(SerializableLinearGradient(0, {Stop {c, {}}}).linearGradient()), (QList<double> {0}));
    // Mixed: given locations stay, the others take their index in the whole list.
    EXPECT_EQ(
        locations(
            SerializableLinearGradient(0, {Stop {c, 0.9}, Stop {c, {}}, Stop {c, {}}}).linearGradient()),
        (QList<double> {0.9, 0.5, 1}));
    // Unsorted and out-of-range locations are passed on as they are.
    EXPECT_EQ(locations(SerializableLinearGradient(0, {Stop {c, 0.8}, Stop {c, -0.5}}).linearGradient()),
              (QList<double> {0.8, -0.5}));
    EXPECT_TRUE(SerializableLinearGradient(0, {}).linearGradient().stops.isEmpty());

    // The drawable form orders and clamps them for Qt, which needs ascending stops in 0...1.
    const QLinearGradient drawable =
        SerializableLinearGradient(0, {Stop {Qt::red, 0.8}, Stop {Qt::blue, -0.5}})
            .gradientFor(QRectF(0, 0, 10, 10));
    ASSERT_EQ(drawable.stops().size(), 2);
    EXPECT_EQ(drawable.stops()[0], QGradientStop(0.0, QColor(Qt::blue)));
    EXPECT_EQ(drawable.stops()[1], QGradientStop(0.8, QColor(Qt::red)));
}

TEST(LinearGradient, FromColorsAndPoints)
{
    const auto diagonal = SerializableLinearGradient::fromColors({Qt::red, Qt::blue}, {0, 0}, {1, 1});
    EXPECT_DOUBLE_EQ(diagonal.angle, 45);
    ASSERT_EQ(diagonal.stops.size(), 2);
    EXPECT_EQ(diagonal.stops[0], (Stop {Qt::red, 0.0}));
    EXPECT_EQ(diagonal.stops[1], (Stop {Qt::blue, 1.0}));

    EXPECT_DOUBLE_EQ(SerializableLinearGradient::fromColors({}, {0, 0.5}, {1, 0.5}).angle, 0);
    EXPECT_DOUBLE_EQ(SerializableLinearGradient::fromColors({}, {0.5, 0}, {0.5, 1}).angle, 90);
    EXPECT_DOUBLE_EQ(SerializableLinearGradient::fromColors({}, {0.5, 1}, {0.5, 0}).angle, 270);
    EXPECT_DOUBLE_EQ(SerializableLinearGradient::fromColors({}, {0.3, 0.3}, {0.3, 0.3}).angle, 0);
    EXPECT_TRUE(SerializableLinearGradient::fromColors({}, {0, 0}, {1, 1}).stops.isEmpty());
    const auto single = SerializableLinearGradient::fromColors({Qt::green}, {0, 0}, {1, 1});
    ASSERT_EQ(single.stops.size(), 1);
    EXPECT_EQ(single.stops[0].location, 0.0);
    const auto three =
        SerializableLinearGradient::fromColors({Qt::red, Qt::green, Qt::blue}, {1, 0.5}, {0, 0.5});
    EXPECT_DOUBLE_EQ(three.angle, 180);
    EXPECT_EQ(three.stops[1].location, 0.5);
}

TEST(LinearGradient, PaintsAlongItsDirection)
{
    QImage image(100, 50, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const SerializableLinearGradient topDown(90, {Stop {Qt::black, {}}, Stop {Qt::white, {}}});
    QPainter(&image).fillRect(image.rect(), topDown.gradientFor(image.rect()));
    EXPECT_LT(qGray(image.pixel(50, 0)), 10);
    EXPECT_GT(qGray(image.pixel(50, 49)), 245);
    EXPECT_EQ(image.pixel(0, 25), image.pixel(99, 25));
}
