// Cost of applying a picture background, whose decoding runs in the program's decoding process, and
// the memory the program keeps after many such applies.
//
//   cmake --preset dev && cmake --build --preset dev -j3 --target background_apply &&
//   build/dev/bin/background_apply
//
// - BM_Apply: the desktop controller shows a 1920 × 1080 photo (JPEG, 0; PNG, 1), or a 3840 × 2160 JPEG
//   (2), decoded for a screen of 1920 × 1080, two such photos in turn so that every apply is a change. The
//   decoding process is started once and decodes one picture after the other.
// - Its floor, BM_DecodeInProcess: the same decoding on the calling thread of this process, as the
//   program decoded before it had a decoding process.
// - BM_RefuseSvgz: the reader refuses a 407 KB SVGZ of 6,000,000 parts, groups (0) or rectangles of one
//   pixel (1), for the memory its parts would take the renderer, as a decoding process of 1 GiB does.
// - BM_MemoryAfterApplies: 200 applies of pictures in five formats (a 36-megapixel TIFF among them),
//   then one of a colour; the counters give the program's resident memory before and after, in MB, and
//   its growth at once and once the idle decoding processes have ended (12 seconds later).

#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "PictureReader.h"

#include "PhotoLikePicture.h"
#include "testsupport/Deflated.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QThread>

#include "FloorRatio.h"

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace KivDesktopBackground;

namespace {

class NoScreens : public ScreenSource
{
public:
    QList<ScreenInfo> screens() const override { return {}; }
};

QTemporaryDir *g_folder = nullptr;

QString write(const QString &name, const QImage &image, const char *format)
{
    const QString path = g_folder->filePath(name);
    QImageWriter writer(path, format);
    writer.setCompression(1);
    if (!writer.write(image))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QStringList g_photos[3];
QStringList g_assorted;

void prepareFiles()
{
    g_folder = new QTemporaryDir;
    for (int i = 0; i < 2; ++i) {
        const QImage photo = photoLikePicture(QSize(1920, 1080), i, 200);
        g_photos[0].append(write(QStringLiteral("photo-%1.jpg").arg(i), photo, "jpeg"));
        g_photos[1].append(write(QStringLiteral("photo-%1.png").arg(i), photo, "png"));
        g_photos[2].append(write(QStringLiteral("large-%1.jpg").arg(i),
                                 photoLikePicture(QSize(3840, 2160), i, 200), "jpeg"));
    }
    g_assorted = {g_photos[0][0], g_photos[1][1],
                  write(QStringLiteral("photo.webp"), photoLikePicture(QSize(1920, 1080), 3, 200), "webp"),
                  write(QStringLiteral("camera.tiff"), photoLikePicture(QSize(7360, 4912), 4, 200), "tiff")};
    const QString svg = g_folder->filePath(QStringLiteral("drawing.svg"));
    QFile file(svg);
    file.open(QIODevice::WriteOnly);
    file.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"160\" height=\"90\">"
               "<rect width=\"160\" height=\"90\" fill=\"#2060a0\"/><circle cx=\"80\" cy=\"45\" r=\"30\" "
               "fill=\"#f0c040\"/></svg>");
    g_assorted.append(svg);
}

void apply(DesktopBackgroundController &controller, const Background &background, benchmark::State &state)
{
    if (const std::optional<QString> failure = QCoro::waitFor(controller.setBackground(background)).refusal) {
        std::fprintf(stderr, "%s\n", qPrintable(*failure));
        state.SkipWithError("the background was not shown");
    }
}

void BM_Apply(benchmark::State &state)
{
    const QStringList &photos = g_photos[state.range(0)];
    DesktopBackgroundController controller(std::make_unique<NoScreens>());
    int turn = 0;
    for (auto _ : state)
        apply(controller, Background::image(QUrl::fromLocalFile(photos[turn++ % 2])), state);
}
BENCHMARK(BM_Apply)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeInProcess(benchmark::State &state)
{
    const QStringList &photos = g_photos[state.range(0)];
    int turn = 0;
    for (auto _ : state) {
        QFile file(photos[turn++ % 2]);
        file.open(QIODevice::ReadOnly);
        PictureReader reader(&file);
        const PictureReader::Result result = reader.covering(QSize(1920, 1080));
        benchmark::DoNotOptimize(result.image.constBits());
        if (result.failure)
            state.SkipWithError("the picture was not decoded");
    }
}
BENCHMARK(BM_DecodeInProcess)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RefuseSvgz(benchmark::State &state)
{
    const QByteArray element = state.range(0) == 0 ? "<g/>" : "<rect width=\"1\" height=\"1\"/>";
    QByteArray svgz =
        TestSupport::deflated("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"9\">"
                                  + element.repeated(6000000) + "</svg>",
                              16 + MAX_WBITS);
    for (auto _ : state) {
        QBuffer file(&svgz);
        file.open(QIODevice::ReadOnly);
        PictureReader reader(&file, qint64(1) << 30);
        const PictureReader::Result result = reader.covering(QSize(1920, 1080));
        if (!result.needsMoreMemory)
            state.SkipWithError("the picture was not refused for its memory");
    }
}
BENCHMARK(BM_RefuseSvgz)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    status.open(QIODevice::ReadOnly);
    return double(status.readAll().split(' ').value(1).toLongLong()) * 4096 / (1 << 20);
}

void BM_MemoryAfterApplies(benchmark::State &state)
{
    for (auto _ : state) {
        DesktopBackgroundController controller(std::make_unique<NoScreens>());
        const double before = residentMegabytes();
        for (int i = 0; i < 200; ++i)
            apply(controller, Background::image(QUrl::fromLocalFile(g_assorted[i % g_assorted.size()])),
                  state);
        apply(controller, Background::color(QColor(30, 60, 90)), state);
        const double after = residentMegabytes();
        // The decoding processes end after a few seconds without work, and the memory kept for the next
        // picture with them.
        QThread::sleep(12);
        const double settled = residentMegabytes();
        state.counters["before_MB"] = before;
        state.counters["after_MB"] = after;
        state.counters["growth_MB"] = after - before;
        state.counters["settled_growth_MB"] = settled - before;
    }
}
BENCHMARK(BM_MemoryAfterApplies)->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    prepareFiles();
    const int result = FloorRatio::run(argc, argv, {{"BM_Apply", "BM_DecodeInProcess"}});
    delete g_folder;
    return result;
}
