#include "FakeScreenSource.h"

#include "KivDesktopBackground/BackgroundWindowView.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace KivDesktopBackground;
using namespace std::chrono_literals;
using Stop = SerializableLinearGradient::Stop;

namespace {

// A controller without screens and a view of it on a clock the test moves by hand.
struct FadeFixture
{
    FakeScreenSource *screens = new FakeScreenSource;
    DesktopBackgroundController controller {std::unique_ptr<ScreenSource>(screens)};
    std::chrono::nanoseconds now {1s};
    BackgroundWindowView view {&controller, nullptr, [this] {
                                   return now;
                               }};

    FadeFixture() { view.resize(40, 30); }

    void at(std::chrono::milliseconds sinceStart, std::chrono::nanoseconds start)
    {
        now = start + sinceStart;
        view.advance();
    }

    QRgb frameCentre()
    {
        QImage frame(view.size(), QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::transparent);
        QPainter painter(&frame);
        view.paintFrame(painter, frame.rect());
        painter.end();
        return frame.pixel(20, 15);
    }
};

const Background red = Background::color(Qt::red);
const Background blue = Background::color(Qt::blue);

} // namespace

TEST(CrossFade, FadesInOverAQuarterSecondAndSettles)
{
    FadeFixture f;
    EXPECT_EQ(f.view.currentBackground(), Background::clear());
    EXPECT_FALSE(f.view.showsSomething());

    const auto start = f.now;
    f.controller.setBackground(red);
    EXPECT_TRUE(f.view.isFading());
    EXPECT_TRUE(f.view.showsSomething());
    EXPECT_EQ(f.view.incomingBackground(), red);
    EXPECT_DOUBLE_EQ(f.view.incomingOpacity(), 0.0);
    f.at(125ms, start);
    EXPECT_NEAR(f.view.incomingOpacity(), 0.5, 1e-3); // ease in-out is symmetric
    f.at(60ms, start);
    EXPECT_LT(f.view.incomingOpacity(), 0.2); // slow at the start
    f.at(249ms, start);
    EXPECT_TRUE(f.view.isFading());
    f.at(250ms, start);
    EXPECT_FALSE(f.view.isFading());
    EXPECT_EQ(f.view.currentBackground(), red);
    EXPECT_EQ(f.view.incomingBackground(), red);
    EXPECT_DOUBLE_EQ(f.view.incomingOpacity(), 0.0);
    EXPECT_EQ(f.frameCentre(), qRgb(255, 0, 0));

    // The same value again starts nothing.
    f.controller.setBackground(red);
    EXPECT_FALSE(f.view.isFading());

    // A frame in the middle of a fade blends the two layers.
    const auto second = f.now;
    f.controller.setBackground(blue);
    f.at(125ms, second);
    const QRgb mid = f.frameCentre();
    EXPECT_NEAR(qRed(mid), 128, 2);
    EXPECT_NEAR(qBlue(mid), 127, 2);

    // Back to nothing fades to clear, and the view then has nothing to show.
    f.at(250ms, second);
    const auto third = f.now;
    f.controller.setBackground(std::nullopt);
    EXPECT_TRUE(f.view.showsSomething());
    f.at(250ms, third);
    EXPECT_FALSE(f.view.showsSomething());
    EXPECT_EQ(qAlpha(f.frameCentre()), 0);
}

TEST(CrossFade, ANewValueDuringAFadeRestartsItAndTheLastValueAlwaysWins)
{
    FadeFixture f;
    f.controller.setBackground(red);
    f.at(250ms, f.now);
    ASSERT_EQ(f.view.currentBackground(), red);

    // Blue arrives, then green 0.1 s in: the half-shown blue goes at once and green fades in over
    // red, settling 0.25 s after its own arrival.
    const auto blueStart = f.now;
    f.controller.setBackground(blue);
    f.at(100ms, blueStart);
    const Background green = Background::color(Qt::green);
    f.controller.setBackground(green);
    EXPECT_DOUBLE_EQ(f.view.incomingOpacity(), 0.0);
    EXPECT_EQ(f.view.incomingBackground(), green);
    EXPECT_EQ(f.frameCentre(), qRgb(255, 0, 0));
    f.at(300ms, blueStart);
    EXPECT_TRUE(f.view.isFading());
    f.at(350ms, blueStart);
    EXPECT_EQ(f.view.currentBackground(), green);

    // A quick return to the earlier value during a fade fades back to it, so the screen ends on
    // what the controller holds.
    const auto yellowStart = f.now;
    f.controller.setBackground(Background::color(Qt::yellow));
    f.at(100ms, yellowStart);
    f.controller.setBackground(green);
    EXPECT_TRUE(f.view.isFading());
    EXPECT_EQ(f.view.incomingBackground(), green);
    f.at(400ms, yellowStart);
    EXPECT_EQ(f.controller.background(), std::optional(f.view.currentBackground()));
    EXPECT_EQ(f.frameCentre(), qRgb(0, 255, 0));
}

TEST(CrossFade, WithoutCompositorClearSwitchesAtOnce)
{
    FadeFixture f;
    f.screens->compositing = false;
    f.controller.setBackground(red);
    EXPECT_FALSE(f.view.isFading());
    EXPECT_EQ(f.view.currentBackground(), red);
    // Between two visible values the fade still runs.
    f.controller.setBackground(blue);
    EXPECT_TRUE(f.view.isFading());
    f.at(250ms, f.now);
    f.controller.setBackground(std::nullopt);
    EXPECT_FALSE(f.view.isFading());
    EXPECT_FALSE(f.view.showsSomething());
}

TEST(CrossFade, HoldsAtMostTwoScreenImagesWhileFadingAndOneAfter)
{
    FadeFixture f;
    const qsizetype screenBytes = 40 * 30 * 4;
    const Background gradient = Background::linearGradient(
        SerializableLinearGradient(0, {Stop {Qt::black, {}}, Stop {Qt::white, {}}}));
    f.controller.setBackground(gradient);
    f.frameCentre();
    EXPECT_EQ(f.view.heldImageBytes(), screenBytes);
    f.at(250ms, f.now);
    EXPECT_EQ(f.view.heldImageBytes(), screenBytes);

    TestSupport::TempHome home;
    QImage picture(80, 60, QImage::Format_RGB32);
    picture.fill(Qt::green);
    ASSERT_TRUE(picture.save(home.filePath("green.png")));
    const auto start = f.now;
    TestSupport::runTask(
        f.controller.setBackground(Background::image(QUrl::fromLocalFile(home.filePath("green.png")))));
    f.frameCentre();
    EXPECT_EQ(f.view.heldImageBytes(), 2 * screenBytes);
    f.at(250ms, start);
    EXPECT_EQ(f.frameCentre(), qRgb(0, 255, 0));
    EXPECT_EQ(f.view.heldImageBytes(), screenBytes);

    // A plain colour needs no image at all.
    f.controller.setBackground(red);
    f.at(250ms, f.now);
    EXPECT_EQ(f.view.heldImageBytes(), 0);
}

// A picture's fade mixes every pixel, at widths whose rows end inside and at the end of a 16-byte step:
// the same straight into a surface of the view's size (the window's own surface) and through the
// painter into a part of a larger surface, leaving the rest of it as it was.
TEST(CrossFade, PictureFadesMixEveryPixelAtAnyWidthOnEveryPaintPath)
{
    TestSupport::TempHome home;
    for (const int width : {41, 44, 7}) {
        FadeFixture f;
        f.view.resize(width, 9);
        auto picture = [&](const char *name, int seed) {
            QImage image(width, 9, QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < width; ++x)
                    image.setPixel(
                        x, y, qRgb((x * 37 + seed) & 255, (y * 91 + x * seed) & 255, (x ^ y ^ seed) & 255));
            const QString path =
                home.filePath(QStringLiteral("%1-%2.png").arg(QLatin1String(name)).arg(width));
            image.save(path);
            return std::pair {image, Background::image(QUrl::fromLocalFile(path))};
        };
        const auto [lower, lowerBackground] = picture("lower", 3);
        const auto [upper, upperBackground] = picture("upper", 200);
        TestSupport::runTask(f.controller.setBackground(lowerBackground));
        f.at(250ms, f.now);
        const auto start = f.now;
        TestSupport::runTask(f.controller.setBackground(upperBackground));
        f.at(90ms, start);
        const int alpha = qRound(f.view.incomingOpacity() * 256);

        QImage frame(f.view.size(), QImage::Format_ARGB32_Premultiplied);
        QImage larger(width + 20, 29, QImage::Format_ARGB32_Premultiplied);
        larger.fill(Qt::transparent);
        for (auto &[surface, area] :
             {std::pair {&frame, frame.rect()}, std::pair {&larger, QRect(QPoint(10, 10), f.view.size())}}) {
            QPainter painter(surface);
            f.view.paintFrame(painter, area);
        }
        EXPECT_EQ(qAlpha(larger.pixel(5, 5)), 0);
        int wrong = 0;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb l = lower.pixel(x, y), u = upper.pixel(x, y);
                auto mix = [alpha](int a, int b) {
                    return (a * (256 - alpha) + b * alpha) >> 8;
                };
                const QRgb expected =
                    qRgb(mix(qRed(l), qRed(u)), mix(qGreen(l), qGreen(u)), mix(qBlue(l), qBlue(u)));
                // Exact straight into the surface, within 2 of it through the painter.
                const QRgb painted = larger.pixel(x + 10, y + 10);
                wrong += frame.pixel(x, y) != expected
                    || std::max({std::abs(qRed(painted) - qRed(expected)),
                                 std::abs(qGreen(painted) - qGreen(expected)),
                                 std::abs(qBlue(painted) - qBlue(expected))})
                        > 2
                    || qAlpha(painted) != 255;
            }
        }
        EXPECT_EQ(wrong, 0) << "width " << width;
    }
}
