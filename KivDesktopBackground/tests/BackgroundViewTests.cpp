#include "KivDesktopBackground/BackgroundView.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/TempHome.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace KivDesktopBackground;

class BackgroundViewRendering : public TestSupport::TempHomeTest
{
};

TEST_F(BackgroundViewRendering, ImagesFillCentredAndUnreadableOnesDrawBlack)
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

    // On a landscape screen it fills the width and loses its top and bottom.
    const QImage wide = BackgroundView::render(Background::image(QUrl::fromLocalFile(path)), QSize(50, 25));
    ASSERT_EQ(wide.size(), QSize(50, 25));
    EXPECT_EQ(wide.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(wide.pixel(49, 24), qRgb(0, 255, 0));

    // On a taller screen it fills the height and is cut at the sides, keeping its proportions.
    const QImage tall = BackgroundView::render(Background::image(QUrl::fromLocalFile(path)), QSize(20, 400));
    ASSERT_EQ(tall.size(), QSize(20, 400));
    EXPECT_EQ(tall.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(tall.pixel(10, 390), qRgb(0, 0, 255));

    // Missing files, files that are not images and non-file URLs draw black; so do what is no
    // regular file (never waited on: the window draws on the GUI thread) and a link to itself.
    home.writeFile("Pictures/notes.png", "not an image");
    const QString pipe = home.filePath("Pictures/pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    ASSERT_TRUE(TestSupport::HostileFiles::makeLinkLoop(home.filePath("Pictures/loop.png")));
    for (const QUrl &url :
         {QUrl::fromLocalFile(home.filePath("Pictures/missing.png")),
          QUrl::fromLocalFile(home.filePath("Pictures/notes.png")), QUrl::fromLocalFile(pipe),
          QUrl::fromLocalFile(home.filePath("Pictures/loop.png")),
          QUrl(QStringLiteral("https://example.com/a.png"))}) {
        QImage black;
        EXPECT_LT(TestSupport::timeWithPipes(
                      {pipe}, [&] { black = BackgroundView::render(Background::image(url), QSize(8, 8)); }),
                  std::chrono::seconds(1));
        ASSERT_EQ(black.size(), QSize(8, 8)) << url.toString().toStdString();
        EXPECT_EQ(black.pixel(4, 4), qRgb(0, 0, 0));
    }

    // The widget draws what render gives.
    BackgroundView view(Background::color(Qt::magenta));
    view.resize(10, 10);
    EXPECT_EQ(view.grab().toImage().pixel(5, 5), qRgb(255, 0, 255));
}
