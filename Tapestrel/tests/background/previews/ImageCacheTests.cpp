#include "Tapestrel/background/ImageCache.h"

#include "KivDesktopBackground/PictureProtocol.h"
#include "testsupport/HostileFiles.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

using TestSupport::runTask;
using namespace std::chrono_literals;

namespace {

QString writeImage(const QString &path, QSize size, QColor color, const QByteArray &format = "png",
                   QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    // A marker in the top-left corner tells the orientation apart.
    QPainter(&image).fillRect(0, 0, size.width() / 4, size.height() / 4, Qt::white);
    QImageWriter writer(path, format);
    writer.setTransformation(transformation);
    EXPECT_TRUE(writer.write(image)) << qPrintable(writer.errorString());
    return path;
}

using ImageCacheTest = TestSupport::TempHomeTest;

} // namespace

TEST_F(ImageCacheTest, WidthsAreEntriesAndRepeatsComeFromTheCache)
{
    ImageCache cache;
    const QString path = writeImage(home.filePath("Pictures/sea side.png"), QSize(400, 300), Qt::blue);
    const QUrl url = QUrl::fromLocalFile(path);

    const auto small = runTask(cache.thumbnail(url, 120, 2.0));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), QSize(240, 180));
    EXPECT_EQ(small->devicePixelRatio(), 2.0);
    EXPECT_EQ(small->deviceIndependentSize(), QSizeF(120, 90));
    // Never enlarged: 240 points at scale 2 would be 480 pixels, the file has 400.
    const auto large = runTask(cache.thumbnail(url, 240, 2.0));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->size(), QSize(400, 300));
    EXPECT_EQ(cache.count(), 2);
    EXPECT_EQ(cache.totalCost(), 240 * 180 * 4 + 400 * 300 * 4);

    ASSERT_TRUE(QFile::remove(path));
    const auto again = runTask(cache.thumbnail(url, 120, 2.0));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->size(), QSize(240, 180));
    EXPECT_FALSE(runTask(cache.thumbnail(url, 60, 2.0)));
    EXPECT_EQ(cache.count(), 2);

    EXPECT_EQ(ImageCache::key(url, 120.5), url.toString(QUrl::FullyEncoded) + "_120.5");
    EXPECT_EQ(ImageCache::key(QUrl("file:///a%20b.png"), 1e21), "file:///a%20b.png_1e+21");
}

TEST_F(ImageCacheTest, DecodesScaledWithTheOrientationApplied)
{
    // Stored 400×200 with the mark top left, to be shown turned a quarter clockwise.
    const QString path = writeImage(home.filePath("turned.jpg"), QSize(400, 200), Qt::red, "jpeg",
                                    QImageIOHandler::TransformationRotate90);
    const auto image = ImageCache::decodeThumbnail(path, 100);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(50, 100));
    EXPECT_GT(qGray(image->pixel(45, 5)), 200);
    EXPECT_LT(qGray(image->pixel(5, 5)), 150);

    EXPECT_EQ(ImageCache::decodeThumbnail(path, 1000)->size(), QSize(200, 400));
    EXPECT_FALSE(ImageCache::decodeThumbnail(path, 0));
}

TEST_F(ImageCacheTest, RefusesWhatIsNoLocalImageAndCachesNoFailure)
{
    ImageCache cache;
    const QString path = home.filePath("later.png");
    home.writeFile("later.png", "not an image");
    const QUrl url = QUrl::fromLocalFile(path);

    for (const QUrl &other : {QUrl("https://example.com/a.png"), QUrl("qrc:/images/a.png"),
                              QUrl("data:image/png;base64,AAAA"), QUrl()}) {
        EXPECT_FALSE(runTask(cache.thumbnail(other, 120, 1.0))) << qPrintable(other.toString());
    }
    for (double width : {0.0, -10.0, std::nan(""), double(INFINITY), 1e300})
        EXPECT_FALSE(runTask(cache.thumbnail(url, width, 1.0))) << width;
    EXPECT_FALSE(runTask(cache.thumbnail(url, 120, 1.0)));
    EXPECT_FALSE(runTask(cache.thumbnail(QUrl::fromLocalFile(home.filePath("missing.png")), 120, 1.0)));
    EXPECT_EQ(cache.count(), 0);

    QFile::remove(path);
    writeImage(path, QSize(300, 100), Qt::green);
    const auto image = runTask(cache.thumbnail(url, 120, 1.0));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(120, 40));
}

// Whatever is no regular file, or larger than a picture may be, is never read nor waited on.
TEST_F(ImageCacheTest, OnlyRegularFilesWithinTheLimitAreRead)
{
    namespace Hostile = TestSupport::HostileFiles;
    const QString pipe = home.filePath("Pictures/pipe.png");
    ASSERT_TRUE(Hostile::makePipe(pipe));
    ASSERT_TRUE(Hostile::makeLinkLoop(home.filePath("Pictures/loop.png")));
    ASSERT_TRUE(QFile::link("/dev/zero", home.filePath("Pictures/device.png")));
    // Zeros, as a file of that size reads when it is no picture either: the limit alone refuses it.
    ASSERT_TRUE(Hostile::makeSparseFile(home.filePath("Pictures/huge.png"),
                                        KivDesktopBackground::PictureProtocol::maxBytes + 1));
    ImageCache cache;
    const auto took = TestSupport::timeWithPipes({pipe}, [&] {
        std::vector<QCoro::Task<std::optional<QImage>>> loads;
        for (const char *name : {"pipe.png", "loop.png", "device.png", "huge.png"})
            loads.push_back(
                cache.thumbnail(QUrl::fromLocalFile(home.filePath("Pictures/") + name), 120, 1.0));
        EXPECT_TRUE(QThreadPool::globalInstance()->waitForDone(5000));
        for (auto &load : loads)
            EXPECT_FALSE(runTask(std::move(load)));
    });
    EXPECT_LT(took, 1s);
    EXPECT_EQ(cache.count(), 0);
    EXPECT_FALSE(QFileInfo(pipe).isFile());
}

TEST_F(ImageCacheTest, BoundsHoldUnderLoadFromSeveralThreads)
{
    // One pixel buffer shared by every entry: each still costs its full decoded size.
    const QImage megabyte(512, 512, QImage::Format_ARGB32);
    const QImage tiny(1, 1, QImage::Format_ARGB32);
    ASSERT_EQ(ImageCache::cost(megabyte), 1 << 20);

    ImageCache cache;
    std::atomic<bool> violated = false;
    // Runs `put(thread, step)` on `count` threads of `steps` steps each, watching the bounds meanwhile.
    const auto onThreads = [&](int count, int steps, const std::function<void(int, int)> &put) {
        std::vector<std::thread> threads;
        for (int t = 0; t < count; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < steps; ++i) {
                    put(t, i);
                    violated = violated || cache.count() > 500 || cache.totalCost() > 268435456;
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
    };
    onThreads(8, 400, [&](int t, int i) {
        cache.setObject(QStringLiteral("%1-%2").arg(t).arg(i), (i + t) % 5 == 0 ? megabyte : tiny);
        cache.object(QStringLiteral("%1-%2").arg((t + 1) % 8).arg(i / 2));
    });
    EXPECT_FALSE(violated);
    EXPECT_EQ(cache.count(), 500);
    EXPECT_LE(cache.totalCost(), 268435456);

    cache.removeAllObjects();
    onThreads(6, 50,
              [&](int t, int i) { cache.setObject(QStringLiteral("big-%1-%2").arg(t).arg(i), megabyte); });
    EXPECT_FALSE(violated);
    EXPECT_EQ(cache.count(), 256);
    EXPECT_EQ(cache.totalCost(), 268435456);

    ImageCache small(10, 100);
    small.setObject("a", tiny);
    small.setObject("huge", megabyte);
    EXPECT_EQ(small.count(), 1);
    EXPECT_EQ(small.totalCost(), 4);
}

TEST_F(ImageCacheTest, LeastRecentlyUsedGoesFirstAndDecodingRunsConcurrently)
{
    ImageCache cache(3, 1000);
    const QImage pixel(1, 1, QImage::Format_ARGB32);
    cache.setObject("a", pixel);
    cache.setObject("b", pixel);
    cache.setObject("c", pixel);
    ASSERT_TRUE(cache.object("a"));
    cache.setObject("d", pixel);
    EXPECT_TRUE(cache.object("a"));
    EXPECT_FALSE(cache.object("b"));
    EXPECT_TRUE(cache.object("c"));
    cache.setObject("c", QImage(2, 2, QImage::Format_ARGB32));
    EXPECT_EQ(cache.count(), 3);
    EXPECT_EQ(cache.totalCost(), 4 + 4 + 16);

    ImageCache shared;
    QList<QUrl> urls;
    for (int i = 0; i < 12; ++i)
        urls.append(QUrl::fromLocalFile(writeImage(home.filePath(QStringLiteral("set/%1.png").arg(i)),
                                                   QSize(200, 100), QColor(i * 20, 0, 0))));
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (const QUrl &url : urls) {
                const auto image = shared.thumbnailNow(url, 50, 2.0);
                if (!image || image->size() != QSize(100, 50))
                    ++failures;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(shared.count(), 12);
}
