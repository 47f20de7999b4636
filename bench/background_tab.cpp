// First paint of the profile editor's Background tab, without and with 200 of the user's images.
//
//   cmake --preset dev && cmake --build build/dev -j3 --target background_tab && build/dev/bin/background_tab
//
// Each round builds the tab's editor over a stored profile in a 720 × 690 window, shows it and
// renders it once (what the first paint draws), with an empty thumbnail cache. Thumbnails are decoded
// by the program's decoding processes, waited for on the previews' own threads; the first paint does not wait
// for them. The floor is the same window holding an empty widget. The figure that matters is the
// ratio of BM_FirstPaint/200 to BM_FirstPaint/0. BM_TilesDrawn goes on until every tile that the
// first paint shows has its thumbnail (the decoding processes, once started, decode one after the
// other).

#include "KivDesktopBackground/PictureDecoder.h"
#include "Tapestrel/background/BackgroundLibraryServices.h"
#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/background/BackgroundPicker.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/ImageCache.h"
#include "Tapestrel/backup/PredefinedProfileController.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct Library
{
    std::unique_ptr<ModelContainer> container;
    Option *option = nullptr;
};

QTemporaryDir *g_home = nullptr;
Library g_libraries[2];

QImage makePicture(int seed)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 1920, 1080);
    sky.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 160, 230));
    sky.setColorAt(1, QColor::fromHsv((seed * 37 + 120) % 360, 200, 90));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv((seed * 11 + i * 29) % 360, 180, 200));
        painter.drawEllipse(QPoint((i * 131 + seed * 17) % 1920, (i * 71 + seed * 5) % 1080), 40 + i, 30 + i);
    }
    return image;
}

// A store with one profile and `images` image backgrounds, each its own file.
Library makeLibrary(const QString &folder, int images)
{
    Library library;
    QDir().mkpath(folder);
    library.container = std::make_unique<ModelContainer>(folder + QStringLiteral("/data.sqlite"));
    ModelContext *context = library.container->mainContext();
    auto *profile = context->insert(std::make_unique<Profile>(QStringLiteral("Work")));
    library.option = profile->findOrCreateOption(BackgroundOptionModel::optionKey());
    QList<QByteArray> pictures;
    for (int i = 0; i < 10; ++i) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        makePicture(i).save(&buffer, "JPEG", 85);
        pictures.append(bytes);
    }
    for (int i = 0; i < images; ++i) {
        const QString path = folder + QStringLiteral("/image-%1.jpg").arg(i);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(pictures[i % pictures.size()]);
        file.close();
        const QString value = KivDesktopBackground::Background::image(QUrl::fromLocalFile(path)).rawValue();
        context->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Image, value));
    }
    context->save();
    return library;
}

void waitForThumbnails()
{
    // Let the decodes of the last round finish so that they do not run into the next one.
    KivDesktopBackground::PictureDecoder::previews().pool().waitForDone();
    QCoreApplication::processEvents();
}

// Builds the tab's editor over the library in `window`, shows it and renders it once, with an empty
// thumbnail cache (the time it takes to empty it is not counted).
void paintFirstFrame(QWidget &window, const Library &library, benchmark::State &state)
{
    state.PauseTiming();
    waitForThumbnails();
    ImageCache::shared().removeAllObjects();
    state.ResumeTiming();
    window.resize(720, 690);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new BackgroundPicker(library.option, library.container->mainContext()));
    window.show();
    QPixmap frame = window.grab();
    benchmark::DoNotOptimize(frame);
}

void BM_FirstPaint(benchmark::State &state)
{
    const Library &library = g_libraries[state.range(0) == 0 ? 0 : 1];
    for (auto _ : state) {
        QWidget window;
        paintFirstFrame(window, library, state);
    }
    waitForThumbnails();
}
BENCHMARK(BM_FirstPaint)->Arg(0)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same, until every tile that the first paint shows has its thumbnail.
void BM_TilesDrawn(benchmark::State &state)
{
    for (auto _ : state) {
        QWidget window;
        paintFirstFrame(window, g_libraries[1], state);
        const QList<BackgroundImageView *> tiles = window.findChildren<BackgroundImageView *>();
        const auto drawn = [&tiles] {
            return std::all_of(tiles.cbegin(), tiles.cend(), [](const BackgroundImageView *tile) {
                return tile->visibleRegion().isEmpty() || tile->hasFinishedLoading();
            });
        };
        const QDeadlineTimer deadline(60000);
        while (!drawn() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (!drawn())
            state.SkipWithError("the tiles were not drawn within a minute");
        state.counters["tiles"] =
            double(std::count_if(tiles.cbegin(), tiles.cend(), [](const BackgroundImageView *tile) {
                return !tile->visibleRegion().isEmpty();
            }));
    }
    waitForThumbnails();
}
BENCHMARK(BM_TilesDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: the same window with nothing in it.
void BM_FirstPaintOfEmptyWindow(benchmark::State &state)
{
    for (auto _ : state) {
        QWidget window;
        window.resize(720, 690);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(new QWidget);
        window.show();
        QPixmap frame = window.grab();
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_FirstPaintOfEmptyWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    g_home = new QTemporaryDir;
    qputenv("TAPESTREL_HOME", g_home->path().toUtf8());
    qputenv("TEST", "1");
    QApplication app(argc, argv);
    const QString wallpapers = g_home->filePath(QStringLiteral("Wallpapers"));
    BackgroundLibraryServices::shared().wallpapersFolder = [wallpapers] {
        return wallpapers;
    };
    Platform::UserDefaults::standard().setValue(PredefinedProfileController::didImportKey, true);
    g_libraries[0] = makeLibrary(g_home->filePath(QStringLiteral("none")), 0);
    g_libraries[1] = makeLibrary(g_home->filePath(QStringLiteral("many")), 200);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_libraries[0] = {};
    g_libraries[1] = {};
    delete g_home;
    return 0;
}
