// Cost of making preview thumbnails.
//
//   cmake --preset bench && cmake --build --preset bench && build/bench/bin/thumbnails
//
// - one 3840×2160 JPEG decoded to a thumbnail 480 pixels wide on the calling thread (the decoder
//   scales while decoding, so this stays far below a full decode);
// - a folder of 20 such JPEGs turned into 480-pixel thumbnails through the cache, one task each on
//   the global thread pool (every core), with an empty cache each round;
// - for comparison, the full decode of one of the files.

#include "Tapestrel/background/ImageCache.h"

#include "PhotoLikePicture.h"

#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *g_folder = nullptr;
QStringList g_files;

void prepareFiles()
{
    g_folder = new QTemporaryDir;
    for (int i = 0; i < 20; ++i) {
        const QString path = g_folder->filePath(QStringLiteral("wallpaper-%1.jpg").arg(i));
        photoLikePicture(QSize(3840, 2160), i, 400).save(path, "JPEG", 90);
        g_files.append(path);
    }
}

void BM_ThumbnailOfOneJpeg(benchmark::State &state)
{
    for (auto _ : state) {
        auto image = ImageCache::decodeThumbnail(g_files.first(), 480);
        benchmark::DoNotOptimize(image);
        if (!image || image->width() != 480)
            state.SkipWithError("no 480-pixel thumbnail");
    }
}
BENCHMARK(BM_ThumbnailOfOneJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FullDecodeOfOneJpeg(benchmark::State &state)
{
    for (auto _ : state) {
        QImage image = QImageReader(g_files.first()).read();
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_FullDecodeOfOneJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ThumbnailsOfTwentyJpegsOnAllCores(benchmark::State &state)
{
    QList<QUrl> urls;
    for (const QString &file : g_files)
        urls.append(QUrl::fromLocalFile(file));
    for (auto _ : state) {
        // One task per image on the global pool, as the views start them.
        ImageCache cache;
        QList<QFuture<std::optional<QImage>>> thumbnails;
        for (const QUrl &url : urls)
            thumbnails.append(QtConcurrent::run(&ImageCache::thumbnailNow, &cache, url, 480.0, 1.0));
        for (QFuture<std::optional<QImage>> &thumbnail : thumbnails)
            thumbnail.waitForFinished();
        if (cache.count() != urls.size())
            state.SkipWithError("a thumbnail failed");
    }
    state.counters["threads"] = QThreadPool::globalInstance()->maxThreadCount();
}
BENCHMARK(BM_ThumbnailsOfTwentyJpegsOnAllCores)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    prepareFiles();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_folder;
    return 0;
}
