// Cost of one cross-fade frame of a background window and the image memory a window holds.
//
//   cmake --preset bench && cmake --build --preset bench && build/bench/bin/background_fade
//
// A frame is what the window paints on each tick of a fade: the cleared surface, the settled layer
// and the incoming layer at half strength. Counters report the bytes of decoded images held while
// settled and while fading, also as a multiple of one screen-sized image.
//
// The floor (BM_FloorFrame*) is the least a frame can cost: two screen-sized images drawn with
// QPainter, the lower one copied and the upper one blended over it at the same opacity, into the same
// kind of surface. The program ends with each frame's ratio to its floor from the same run.

#include "KivDesktopBackground/BackgroundWindowView.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"

#include <QApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

#include "FloorRatio.h"

#include <benchmark/benchmark.h>

using namespace KivDesktopBackground;
using namespace std::chrono_literals;

namespace {

class NoScreens : public ScreenSource
{
public:
    QList<ScreenInfo> screens() const override { return {}; }
};

QString g_picture;

// A window's surface as the window system hands it over: with an alpha channel when the window is
// translucent (a compositor blends it), plain 32-bit RGB when it is opaque.
QImage windowSurface(const QSize &size, bool translucent)
{
    return QImage(size, translucent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

void fadeFrame(benchmark::State &state, bool translucent)
{
    const QSize size(int(state.range(0)), int(state.range(1)));
    DesktopBackgroundController controller(std::make_unique<NoScreens>());
    std::chrono::nanoseconds now {1s};
    BackgroundWindowView view(&controller, nullptr, [&now] { return now; });
    view.resize(size);

    QImage surface = windowSurface(size, translucent);
    auto paint = [&] {
        // A translucent window's surface is cleared before each paint; an opaque one's is not.
        if (translucent)
            surface.fill(Qt::transparent);
        QPainter painter(&surface);
        view.paintFrame(painter, surface.rect());
    };

    // Settle on a gradient, then fade to a photo.
    controller.setBackground(Background::linearGradient(SerializableLinearGradient(
        30, {{QColor(20, 40, 120), {}}, {QColor(240, 120, 40), {}}, {QColor(250, 250, 210), {}}})));
    paint();
    now += 300ms;
    view.advance();
    paint();
    const double settledBytes = double(view.heldImageBytes());

    // An image is decoded on a worker thread before it is shown.
    QCoro::waitFor(controller.setBackground(Background::image(QUrl::fromLocalFile(g_picture))));
    now += 125ms;
    paint();
    const double fadingBytes = double(view.heldImageBytes());

    for (auto _ : state) {
        paint();
        benchmark::DoNotOptimize(surface.constBits());
    }

    const double screenImage = double(size.width()) * size.height() * 4;
    state.counters["settled_MiB"] = settledBytes / (1024 * 1024);
    state.counters["fading_MiB"] = fadingBytes / (1024 * 1024);
    state.counters["settled_screens"] = settledBytes / screenImage;
    state.counters["fading_screens"] = fadingBytes / screenImage;
}

void BM_FadeFrameTranslucent(benchmark::State &state)
{
    fadeFrame(state, true);
}

void BM_FadeFrameOpaque(benchmark::State &state)
{
    fadeFrame(state, false);
}

// Two screen-sized images, as a window would hold them after one render per change: an opaque
// gradient and a photo. The frame copies the lower one and draws the upper one over it at half strength.
void floorFrame(benchmark::State &state, bool translucent)
{
    const QSize size(int(state.range(0)), int(state.range(1)));
    QImage lower(size, QImage::Format_ARGB32_Premultiplied);
    {
        QLinearGradient gradient(QPointF(0, 0), QPointF(size.width(), size.height()));
        gradient.setColorAt(0, QColor(20, 40, 120));
        gradient.setColorAt(1, QColor(240, 120, 40));
        QPainter(&lower).fillRect(lower.rect(), gradient);
    }
    QImage upper = QImage(g_picture)
                       .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    QImage surface = windowSurface(size, translucent);
    for (auto _ : state) {
        if (translucent)
            surface.fill(Qt::transparent);
        QPainter painter(&surface);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(0, 0), lower);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setOpacity(0.5);
        painter.drawImage(QPoint(0, 0), upper);
        painter.end();
        benchmark::DoNotOptimize(surface.constBits());
    }
}

void BM_FloorFrameTranslucent(benchmark::State &state)
{
    floorFrame(state, true);
}

void BM_FloorFrameOpaque(benchmark::State &state)
{
    floorFrame(state, false);
}

// Each frame beside its floor, so that both see the same state of a shared machine.
BENCHMARK(BM_FloorFrameTranslucent)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FadeFrameTranslucent)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorFrameOpaque)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FadeFrameOpaque)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // A photo-sized picture with detail, larger than either screen.
    QImage photo(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb((x * 7) & 255, (y * 3) & 255, (x ^ y) & 255);
    }
    g_picture = dir.filePath(QStringLiteral("photo.jpg"));
    photo.save(g_picture, "JPG", 90);

    return FloorRatio::run(argc, argv,
                           {{"BM_FadeFrameTranslucent", "BM_FloorFrameTranslucent"},
                            {"BM_FadeFrameOpaque", "BM_FloorFrameOpaque"}});
}
