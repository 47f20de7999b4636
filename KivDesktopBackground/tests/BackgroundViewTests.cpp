#include "KivDesktopBackground/BackgroundView.h"
#include "KivDesktopBackground/ImageFile.h"
#include "testsupport/BrokenPictures.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/TempHome.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace KivDesktopBackground;
namespace Broken = TestSupport::BrokenPictures;

class BackgroundViewRendering : public TestSupport::TempHomeTest
{
};

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
    const ImageFile::Decoded decoded =
        ImageFile::decodeCovering(background.url(), {QSize(50, 25), QSize(20, 400)});
    ASSERT_EQ(decoded.failure, std::nullopt);
    EXPECT_EQ(decoded.image.size(), QSize(100, 200));
    EXPECT_EQ(ImageFile::decodeCovering(background.url(), {QSize(10, 10)}).image.size(), QSize(10, 20));

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

TEST_F(BackgroundViewRendering, PicturesThatDoNotDecodeSayWhyAndNoneIsWaitedOn)
{
    const QString pipe = home.filePath("Pictures/pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    ASSERT_TRUE(TestSupport::HostileFiles::makeLinkLoop(home.filePath("Pictures/loop.png")));
    home.writeFile("Pictures/notes.png", "not an image");
    home.writeFile("Pictures/cut.png", Broken::cutPng(60));
    home.writeFile("Pictures/corrupt.png", Broken::corruptPng());
    home.writeFile("Pictures/claims.png", Broken::pngClaiming(QSize(640, 360)));
    home.writeFile("Pictures/claims.bmp", Broken::bmpClaiming(QSize(16000, 16000)));
    const auto shown = [this](const char *name, const char *reason) {
        return QStringLiteral("The picture “%1” cannot be shown: %2.")
            .arg(home.filePath(QString::fromUtf8(name)), QString::fromUtf8(reason));
    };
    const std::pair<QUrl, QString> cases[] = {
        {QUrl::fromLocalFile(home.filePath("Pictures/missing.png")),
         "The picture “" + home.filePath("Pictures/missing.png") + "” cannot be found."},
        {QUrl("https://example.com/a.png"), "The picture “https://example.com/a.png” is not a file."},
        {QUrl::fromLocalFile(pipe), shown("Pictures/pipe.png", "it is not a regular file")},
        {QUrl::fromLocalFile(home.filePath("Pictures/loop.png")),
         shown("Pictures/loop.png", "Too many levels of symbolic links")},
        {QUrl::fromLocalFile(home.filePath("Pictures/notes.png")),
         shown("Pictures/notes.png", "it is not a picture the program can read")},
        {QUrl::fromLocalFile(home.filePath("Pictures/cut.png")),
         shown("Pictures/cut.png", "its data is damaged or incomplete")},
        {QUrl::fromLocalFile(home.filePath("Pictures/corrupt.png")),
         shown("Pictures/corrupt.png", "its data is damaged or incomplete")},
        {QUrl::fromLocalFile(home.filePath("Pictures/claims.png")),
         shown("Pictures/claims.png", "its data is damaged or incomplete")},
        {QUrl::fromLocalFile(home.filePath("Pictures/claims.bmp")),
         shown("Pictures/claims.bmp",
               "it is incomplete: its header promises 768000054 bytes, the file holds 64")},
    };
    for (const auto &[url, failure] : cases) {
        ImageFile::Decoded decoded;
        EXPECT_LT(TestSupport::timeWithPipes(
                      {pipe}, [&] { decoded = ImageFile::decodeCovering(url, {QSize(8, 8)}); }),
                  std::chrono::seconds(1));
        EXPECT_TRUE(decoded.image.isNull()) << url.toString().toStdString();
        EXPECT_EQ(decoded.failure, failure);
    }
    EXPECT_EQ(QImageReader::allocationLimit(), 128) << "Qt's limit is back";
}

TEST_F(BackgroundViewRendering, AnSvgDrawsWhatItHoldsAndNoFileItNames)
{
    // A picture elsewhere that the SVG names, a pipe, and the same picture held as data.
    const QByteArray secret = Broken::png(QSize(16, 9), Qt::red);
    home.writeFile("elsewhere/secret.png", secret);
    const QString pipe = home.filePath("elsewhere/pipe.png");
    ASSERT_TRUE(TestSupport::HostileFiles::makePipe(pipe));
    const QString data = "data:image/png;base64," + QString::fromLatin1(secret.toBase64());
    const std::pair<QString, QRgb> cases[] = {
        {home.filePath("elsewhere/secret.png"), qRgb(0, 0, 255)},
        {QUrl::fromLocalFile(home.filePath("elsewhere/secret.png")).toString(), qRgb(0, 0, 255)},
        {"../elsewhere/secret.png", qRgb(0, 0, 255)},
        {pipe, qRgb(0, 0, 255)},
        {data, qRgb(255, 0, 0)},
    };
    for (const auto &[href, drawn] : cases) {
        home.writeFile("Pictures/picture.svg", Broken::svgWithImage(QSize(16, 9), Qt::blue, href));
        ImageFile::Decoded decoded;
        EXPECT_LT(TestSupport::timeWithPipes(
                      {pipe},
                      [&] {
                          decoded = ImageFile::decodeCovering(
                              QUrl::fromLocalFile(home.filePath("Pictures/picture.svg")), {QSize(64, 36)});
                      }),
                  std::chrono::seconds(1));
        ASSERT_EQ(decoded.failure, std::nullopt) << href.left(80).toStdString();
        // Drawn at the size shown, not enlarged from its own.
        EXPECT_EQ(decoded.image.size(), QSize(64, 36));
        EXPECT_EQ(decoded.image.pixel(32, 18), drawn) << href.left(80).toStdString();
    }
}
