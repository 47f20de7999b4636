#include "KivDesktopBackground/BackgroundView.h"
#include "KivDesktopBackground/PictureDecoder.h"
#include "testsupport/TempHome.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace KivDesktopBackground;

using BackgroundViewRendering = TestSupport::TempHomeTest;

TEST_F(BackgroundViewRendering, ImagesFillCentredFromTheirDecodedPicture)
{
    // A portrait picture: red top quarter, green middle half, blue bottom quarter.
    QImage portrait(100, 200, QImage::Format_RGB32);
    QPainter painter(&portrait);
    painter.fillRect(0, 0, 100, 50, Qt::red);
    painter.fillRect(0, 50, 100, 100, Qt::green);
    painter.fillRect(0, 150, 100, 50, Qt::blue);
    painter.end();
    const QString path = home.filePath("Pictures/tall picture.png");
    home.writeFile("Pictures/tall picture.png", {});
    ASSERT_TRUE(portrait.save(path));
    const Background background = Background::image(QUrl::fromLocalFile(path));

    // Decoded once to cover both screens, never larger than the picture.
    const PictureDecoder::Decoded decoded =
        PictureDecoder::shared().covering(background.url(), {QSize(50, 25), QSize(20, 400)});
    ASSERT_EQ(decoded.failure, std::nullopt);
    EXPECT_EQ(decoded.image.size(), QSize(100, 200));
    EXPECT_EQ(PictureDecoder::shared().covering(background.url(), {QSize(10, 10)}).image.size(),
              QSize(10, 20));

    // On a landscape screen it fills the width and loses its top and bottom.
    const QImage wide = BackgroundView::render(background, decoded.image, QSize(50, 25));
    ASSERT_EQ(wide.size(), QSize(50, 25));
    EXPECT_EQ(wide.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(wide.pixel(49, 24), qRgb(0, 255, 0));

    // On a taller screen it fills the height and is cut at the sides, keeping its proportions.
    const QImage tall = BackgroundView::render(background, decoded.image, QSize(20, 400));
    ASSERT_EQ(tall.size(), QSize(20, 400));
    EXPECT_EQ(tall.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(tall.pixel(10, 390), qRgb(0, 0, 255));

    // The widget draws what render gives.
    BackgroundView view(Background::color(Qt::magenta));
    view.resize(10, 10);
    EXPECT_EQ(view.grab().toImage().pixel(5, 5), qRgb(255, 0, 255));
}
