#include "testsupport/Screenshots.h"
#include "Tapestrel/background/BackgroundPreview.h"
#include "Tapestrel/background/BackgroundView.h"
#include "Tapestrel/background/ImageBackgroundView.h"
#include "Tapestrel/background/ImageCache.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include <gtest/gtest.h>

using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;
using namespace std::chrono_literals;

namespace {

QString writePicture(const QString &path, QSize size, QColor color)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    EXPECT_TRUE(image.save(path));
    return path;
}

// Counts the loads a view finishes, from before the call that may finish one at once.
class LoadWatch
{
public:
    explicit LoadWatch(ImageBackgroundView *view)
        : m_connection(QObject::connect(view, &ImageBackgroundView::loadFinished, [this] { ++m_finished; }))
    { }
    ~LoadWatch() { QObject::disconnect(m_connection); }

    // Waits for the next load after the ones already waited for.
    bool next()
    {
        QElapsedTimer clock;
        clock.start();
        while (m_finished <= m_waited && clock.elapsed() < 10000)
            TestSupport::spinEventLoop(5ms);
        m_waited = m_finished;
        return m_finished > 0 && clock.elapsed() < 10000;
    }

private:
    int m_finished = 0;
    int m_waited = 0;
    QMetaObject::Connection m_connection;
};

using TestSupport::grabAndKeep;

bool near(QRgb a, QColor b)
{
    return qAbs(qRed(a) - b.red()) < 8 && qAbs(qGreen(a) - b.green()) < 8 && qAbs(qBlue(a) - b.blue()) < 8;
}

class PreviewViewsTest : public TestSupport::TempHomeTest
{
protected:
    void SetUp() override { ImageCache::shared().removeAllObjects(); }
};

} // namespace

TEST_F(PreviewViewsTest, MissingImageShowsTheMarkUntilTheFileIsBack)
{
    const QString path = home.filePath("Pictures/lost and found/beach #1.png");
    ImageBackgroundView view(120);
    LoadWatch loads(&view);
    view.resize(160, 90);
    view.setBackground(Background::image(QUrl::fromLocalFile(path)));
    view.show();
    ASSERT_TRUE(loads.next());

    EXPECT_FALSE(view.loadedImage());
    ASSERT_TRUE(view.isShowingMissingMark());
    EXPECT_EQ(view.missingMark()->toolTip(), "Image not found at: " + path);
    grabAndKeep(&view, "image-background-missing");

    writePicture(path, QSize(320, 180), Qt::darkCyan);
    view.hide();
    view.show();
    ASSERT_TRUE(loads.next());
    ASSERT_TRUE(view.loadedImage());
    EXPECT_FALSE(view.isShowingMissingMark());
    EXPECT_TRUE(near(view.grab().toImage().pixel(80, 45), Qt::darkCyan));

    // A file that exists but cannot be drawn shows the mark too once its load failed, saying why.
    const QString broken = home.filePath("broken.webp");
    home.writeFile("broken.webp", "garbage");
    view.setBackground(Background::image(QUrl::fromLocalFile(broken)));
    ASSERT_TRUE(loads.next());
    EXPECT_FALSE(view.loadedImage());
    ASSERT_TRUE(view.isShowingMissingMark());
    EXPECT_EQ(view.missingMark()->toolTip(), "The image cannot be read: " + broken);
    grabAndKeep(&view, "image-background-unreadable");
}

TEST_F(PreviewViewsTest, ANewValueNeverShowsThePreviousPicture)
{
    // The first picture is large, so its load is still running when the value changes.
    const QString slow = writePicture(home.filePath("slow.png"), QSize(3000, 2000), Qt::red);
    const QString fast = writePicture(home.filePath("fast.png"), QSize(32, 18), Qt::blue);
    const QString gone = home.filePath("gone.png");

    ImageBackgroundView view(160);
    LoadWatch loads(&view);
    view.resize(160, 90);
    view.show();
    ASSERT_TRUE(loads.next()); // the empty view's first load
    view.setBackground(Background::image(QUrl::fromLocalFile(slow)));
    view.setBackground(Background::image(QUrl::fromLocalFile(fast)));
    ASSERT_TRUE(loads.next());
    // Let the older load finish too: its result must not land.
    ASSERT_TRUE(TestSupport::runTask(ImageCache::shared().thumbnail(QUrl::fromLocalFile(slow), 160)));
    TestSupport::spinEventLoop(50ms);
    ASSERT_TRUE(view.loadedImage());
    EXPECT_TRUE(near(view.loadedImage()->pixel(0, 0), Qt::blue));

    view.setBackground(Background::image(QUrl::fromLocalFile(gone)));
    EXPECT_FALSE(view.loadedImage());
    EXPECT_TRUE(view.isShowingMissingMark());
    ASSERT_TRUE(loads.next());
    EXPECT_FALSE(view.loadedImage());
    EXPECT_TRUE(view.isShowingMissingMark());

    BackgroundView tile(160);
    LoadWatch tileLoads(tile.findChild<ImageBackgroundView *>());
    tile.resize(160, 90);
    tile.show();
    tile.setBackground(Background::image(QUrl::fromLocalFile(fast)));
    ASSERT_TRUE(tileLoads.next());
    tile.setBackground(Background::color(Qt::yellow));
    EXPECT_EQ(tile.imageView(), nullptr);
    tile.setBackground(Background::image(QUrl::fromLocalFile(gone)));
    ASSERT_NE(tile.imageView(), nullptr);
    EXPECT_FALSE(tile.imageView()->loadedImage());
    EXPECT_TRUE(tile.imageView()->isShowingMissingMark());
}

TEST_F(PreviewViewsTest, DrawsColourGradientImageAndNothing)
{
    BackgroundView view(160);
    LoadWatch loads(view.findChild<ImageBackgroundView *>());
    view.resize(160, 90);
    view.show();
    const QColor desk = BackgroundView::previewDesktopBackgroundColor(view.palette());

    QImage none = grabAndKeep(&view, "background-view-none");
    EXPECT_TRUE(near(none.pixel(80, 45), desk));

    view.setBackground(Background::color(QColor(200, 30, 90)));
    QImage colour = grabAndKeep(&view, "background-view-color");
    EXPECT_TRUE(near(colour.pixel(0, 0), QColor(200, 30, 90)));
    EXPECT_TRUE(near(colour.pixel(159, 89), QColor(200, 30, 90)));

    view.setBackground(Background::color(QColor(255, 255, 255, 0)));
    EXPECT_TRUE(near(view.grab().toImage().pixel(80, 45), desk));

    view.setBackground(Background::linearGradient(
        SerializableLinearGradient(0, {{QColor(255, 0, 0), 0.0}, {QColor(0, 0, 255), 1.0}})));
    QImage gradient = grabAndKeep(&view, "background-view-gradient");
    EXPECT_GT(qRed(gradient.pixel(1, 45)), 240);
    EXPECT_GT(qBlue(gradient.pixel(158, 45)), 240);
    EXPECT_EQ(gradient.pixel(1, 0), gradient.pixel(1, 89)); // across the whole height

    const QString path = writePicture(home.filePath("green.png"), QSize(640, 360), QColor(20, 160, 60));
    view.setBackground(Background::image(QUrl::fromLocalFile(path)));
    ASSERT_TRUE(loads.next());
    QImage image = grabAndKeep(&view, "background-view-image");
    EXPECT_TRUE(near(image.pixel(80, 45), QColor(20, 160, 60)));
    EXPECT_TRUE(near(image.pixel(0, 0), QColor(20, 160, 60)));

    view.setBackground(Background::image(QUrl::fromLocalFile(home.filePath("nowhere.png"))));
    ASSERT_TRUE(loads.next());
    QImage missing = grabAndKeep(&view, "background-view-missing");
    EXPECT_TRUE(near(missing.pixel(2, 2), desk));
    EXPECT_TRUE(view.imageView()->isShowingMissingMark());

    view.setBackground(std::nullopt);
    EXPECT_EQ(view.imageView(), nullptr);
    EXPECT_TRUE(near(view.grab().toImage().pixel(80, 45), desk));
}

TEST_F(PreviewViewsTest, PreviewIsRoundedSixteenByNineAndAtMost180High)
{
    EXPECT_TRUE(BackgroundPreview::previewRect(QSize(30, 30)).isEmpty());
    for (const QSize size : {QSize(800, 400), QSize(200, 300), QSize(500, 100), QSize(61, 300)}) {
        const QRect rect = BackgroundPreview::previewRect(size);
        EXPECT_LE(rect.height(), 180) << size.width() << "x" << size.height();
        EXPECT_LE(qAbs(rect.width() * 9 - rect.height() * 16), 16) << size.width() << "x" << size.height();
        EXPECT_GE(rect.top(), 24);
        EXPECT_GE(rect.left(), 20);
        EXPECT_LE(rect.right(), size.width() - 20);
        EXPECT_LE(rect.bottom() + 1, std::max(size.height() - 12, rect.top()));
        EXPECT_LE(qAbs(rect.left() - (size.width() - rect.right() - 1)), 1);
    }
    EXPECT_EQ(BackgroundPreview::previewRect(QSize(800, 400)).size(), QSize(320, 180));
    EXPECT_EQ(BackgroundPreview::previewRect(QSize(200, 300)).size(), QSize(160, 90));

    BackgroundPreview preview(320);
    preview.resize(480, preview.heightForWidth(480));
    EXPECT_EQ(preview.height(), 24 + 180 + 12);
    preview.setBackground(Background::color(QColor(250, 140, 0)));
    preview.show();
    EXPECT_EQ(preview.backgroundView()->geometry(), QRect(80, 24, 320, 180));
    const QImage picture = grabAndKeep(&preview, "background-preview");
    const QRect inner = preview.backgroundView()->geometry();
    EXPECT_TRUE(near(picture.pixel(inner.center()), QColor(250, 140, 0)));
    EXPECT_FALSE(near(picture.pixel(inner.topLeft() + QPoint(1, 1)), QColor(250, 140, 0)));
    EXPECT_TRUE(near(picture.pixel(inner.left() + 30, inner.top() + 1), QColor(250, 140, 0)));
}
